#include "platform/linux/LinuxHistoryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/linux/StateFolder.h"

namespace kv::platform::linux_impl {

namespace {

// Another copy of the program holds the lock only for one line's write.
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens without following a link and without blocking on a FIFO put in the
// file's place; only a regular file is kept, then in blocking mode.
int openRegular(const std::string& path, int flags, std::string& error) {
    const int fd =
        ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno == ELOOP ? path + " is a symbolic link; it is not followed"
                               : systemError("cannot open " + path);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        ::close(fd);
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        error = systemError("cannot use " + path);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool lockBounded(int fd, int operation, const std::string& path, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = systemError("cannot lock " + path);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = path + " stayed locked by another program";
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return true;
}

}  // namespace

LinuxHistoryFile::LinuxHistoryFile(std::string path) : path_(std::move(path)) {}

std::string LinuxHistoryFile::historyPath() { return stateFolder() + "/history.jsonl"; }

std::string LinuxHistoryFile::simulatedHistoryPath() {
    return stateFolder() + "/history-simulated.jsonl";
}

bool LinuxHistoryFile::append(const std::string& line, std::string& error) {
    if (line.find('\n') != std::string::npos) {
        error = "a history line holds a line break";
        return false;
    }
    const std::string folder = folderOf(path_);
    if (!makeFolders(folder)) {
        error = systemError("cannot create the folder " + folder);
        return false;
    }
    const Fd fd(openRegular(path_, O_RDWR | O_APPEND | O_CREAT, error));
    if (fd.get() < 0) return false;
    if (!lockBounded(fd.get(), LOCK_EX, path_, error)) return false;

    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = systemError("cannot examine " + path_);
        return false;
    }
    std::string bytes;
    if (info.st_size > 0) {
        char last = '\n';
        if (::pread(fd.get(), &last, 1, info.st_size - 1) != 1) {
            error = systemError("cannot read " + path_);
            return false;
        }
        // A line cut short by a crash ends here, before ours.
        if (last != '\n') bytes += '\n';
    }
    bytes += line;
    bytes += '\n';
    if (!writeWhole(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        error = systemError("cannot write " + path_);
        return false;
    }
    // A file this call created needs its name on disk too.
    if (info.st_size == 0) (void)syncFolder(folder);
    return true;
}

std::optional<std::string> LinuxHistoryFile::read(std::string& error) {
    struct stat named {};
    if (::lstat(path_.c_str(), &named) != 0 && errno == ENOENT) return std::string();
    const Fd fd(openRegular(path_, O_RDONLY, error));
    if (fd.get() < 0) return std::nullopt;
    if (!lockBounded(fd.get(), LOCK_SH, path_, error)) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = systemError("cannot examine " + path_);
        return std::nullopt;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    const uint64_t from = size > kReadLimit ? size - kReadLimit : 0;
    std::string content;
    content.reserve(static_cast<size_t>(size - from));
    char buffer[65536];
    off_t at = static_cast<off_t>(from);
    while (content.size() < kReadLimit) {
        const ssize_t n = ::pread(fd.get(), buffer, sizeof buffer, at);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = systemError("cannot read " + path_);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
        at += n;
    }
    // Started in the middle of a line: that line is left out whole.
    if (from > 0) content.erase(0, content.find('\n') == std::string::npos ? content.size()
                                                                           : content.find('\n') + 1);
    return content;
}

}  // namespace kv::platform::linux_impl
