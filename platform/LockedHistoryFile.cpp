#include "platform/LockedHistoryFile.h"

namespace kv::platform {

Result<void> LockedHistoryFile::append(const std::string& line) {
    if (line.find('\n') != std::string::npos) return Failure{"a history line holds a line break"};
    auto opened = openLocked(LockFor::Append);
    if (!opened) return opened.failure();
    LockedFile& file = **opened;
    const auto size = file.size();
    if (!size) return size.failure();
    std::string bytes;
    if (*size > 0) {
        char last = '\n';
        const auto got = file.readAt(*size - 1, &last, 1);
        if (!got) return got.failure();
        if (*got != 1) return Failure{"cannot read " + location()};
        // A line cut short by a crash ends here, before ours.
        if (last != '\n') bytes += '\n';
    }
    bytes += line;
    bytes += '\n';
    if (auto written = file.append(bytes); !written) return written;
    return file.sync();
}

Result<std::string> LockedHistoryFile::read() {
    auto opened = openLocked(LockFor::Read);
    if (!opened) return opened.failure();
    if (!*opened) return std::string();
    LockedFile& file = **opened;
    const auto size = file.size();
    if (!size) return size.failure();
    const uint64_t from = *size > kReadLimit ? *size - kReadLimit : 0;
    std::string content(static_cast<size_t>(*size - from), '\0');
    size_t done = 0;
    while (done < content.size()) {
        const auto got = file.readAt(from + done, content.data() + done, content.size() - done);
        if (!got) return got.failure();
        if (*got == 0) break;
        done += *got;
    }
    content.resize(done);
    // Started in the middle of a line: that line is left out whole.
    if (from > 0) {
        const size_t end = content.find('\n');
        content.erase(0, end == std::string::npos ? content.size() : end + 1);
    }
    return content;
}

}  // namespace kv::platform
