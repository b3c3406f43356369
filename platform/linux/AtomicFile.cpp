#include "platform/linux/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/StateFolder.h"

namespace kv::platform::linux_impl {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

bool AtomicFile::exists() {
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0;
}

std::optional<std::string> AtomicFile::read() {
    // Only what this program wrote: a regular file, no link, no FIFO or
    // device to wait on, and of a journal's size.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) > kMaxDurableFileBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
        // It may have grown since it was measured.
        if (content.size() > kMaxDurableFileBytes) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return content;
}

bool AtomicFile::replace(const std::string& content) {
    const std::string folder = folderOf(path_);
    if (!makeFolders(folder)) return false;
    const std::string temp = path_ + ".tmp." + std::to_string(::getpid());
    // A fresh file of our own: whatever lies under that name (a leftover,
    // a link planted there) goes first.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = writeWhole(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return syncFolder(folder);
}

bool AtomicFile::remove() {
    if (::unlink(path_.c_str()) != 0) return errno == ENOENT;
    syncFolder(folderOf(path_));
    return true;
}

std::string AtomicFile::queueJournalPath() { return stateFolder() + "/print-queues.journal"; }

}  // namespace kv::platform::linux_impl
