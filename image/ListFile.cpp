#include "image/ListFile.h"

#include "image/FileBytes.h"

namespace kv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

ListFileLines splitListLines(std::string_view text, size_t maxLineLength) {
    std::vector<ListLine> out;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > maxLineLength) {
            return ListFileError{
                number, "a line longer than " + std::to_string(maxLineLength) + " characters"};
        }
        for (unsigned char c : line) {
            if ((c < 0x20 && c != '\t') || c > 0x7E) return ListFileError{number, "binary data"};
        }
        const std::string_view entry = trimmed(line.substr(0, line.find('#')));
        if (!entry.empty()) out.push_back({number, std::string(entry)});
    }
    return out;
}

ListFileLines readListFile(platform::FileReader& files, const std::string& path,
                           uint64_t maxBytes) {
    const FileBytes file = readFileBytes(files, path, maxBytes);
    switch (file.status) {
        case FileBytes::Status::Ok: break;
        case FileBytes::Status::TooLarge:
            return ListFileError{std::nullopt,
                                 "larger than " + std::to_string(maxBytes) + " bytes"};
        case FileBytes::Status::Unreadable: return ListFileError{std::nullopt, file.reason};
    }
    return splitListLines(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
}

}  // namespace kv
