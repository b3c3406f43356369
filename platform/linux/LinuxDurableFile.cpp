#include "platform/linux/LinuxDurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/RegularFile.h"
#include "platform/linux/StateFolder.h"

namespace kv::platform::linux_impl {

LinuxDurableFile::LinuxDurableFile(std::string path) : path_(std::move(path)) {}

bool LinuxDurableFile::exists() {
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0;
}

std::optional<std::string> LinuxDurableFile::read() {
    // Only what this program wrote: a regular file, no link, and of a
    // journal's size.
    const RegularFile file = openRegular(path_, O_RDONLY, Links::Refused);
    if (!file.fd.valid() || file.size > kMaxDurableFileBytes) return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
        // It may have grown since it was measured.
        if (content.size() > kMaxDurableFileBytes) return std::nullopt;
    }
    return content;
}

bool LinuxDurableFile::replace(const std::string& content) {
    const std::string folder = folderOf(path_);
    if (!makeFolders(folder)) return false;
    const std::string temp = path_ + ".tmp." + std::to_string(::getpid());
    // A fresh file of our own: whatever lies under that name (a leftover,
    // a link planted there) goes first.
    ::unlink(temp.c_str());
    Descriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return false;
    const bool written = writeWhole(fd.get(), content) && ::fsync(fd.get()) == 0;
    const bool closed = fd.close();
    if (!written || !closed || ::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return syncFolder(folder);
}

bool LinuxDurableFile::remove() {
    if (::unlink(path_.c_str()) != 0) return errno == ENOENT;
    syncFolder(folderOf(path_));
    return true;
}

std::string LinuxDurableFile::queueJournalPath() { return stateFolder() + "/print-queues.journal"; }

}  // namespace kv::platform::linux_impl
