#include "platform/linux/LinuxHistoryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/linux/RegularFile.h"
#include "platform/linux/StateFolder.h"

namespace kv::platform::linux_impl {

namespace {

// Another copy of the program holds the lock only for one line's write.
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

Failure systemError(const std::string& what, int error = errno) {
    return Failure{what + ": " + std::strerror(error)};
}

class FlockedFile final : public LockedFile {
public:
    FlockedFile(Descriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    Result<uint64_t> size() override {
        struct stat info {};
        if (::fstat(fd_.get(), &info) != 0) return systemError("cannot examine " + path_);
        // A file this lock holder creates needs its name on disk too.
        if (info.st_size == 0) newName_ = true;
        return static_cast<uint64_t>(info.st_size);
    }

    Result<size_t> readAt(uint64_t offset, char* buffer, size_t capacity) override {
        for (;;) {
            const ssize_t n = ::pread(fd_.get(), buffer, capacity, static_cast<off_t>(offset));
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR) return systemError("cannot read " + path_);
        }
    }

    Result<void> append(const std::string& bytes) override {
        if (!writeWhole(fd_.get(), bytes)) return systemError("cannot write " + path_);
        return {};
    }

    Result<void> sync() override {
        if (::fsync(fd_.get()) != 0) return systemError("cannot write " + path_);
        if (newName_) (void)syncFolder(folderOf(path_));
        return {};
    }

private:
    Descriptor fd_;
    std::string path_;
    bool newName_ = false;
};

Result<void> lockBounded(int fd, int operation, const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return systemError("cannot lock " + path);
        if (std::chrono::steady_clock::now() > deadline) {
            return Failure{path + " stayed locked by another program"};
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return {};
}

}  // namespace

std::string LinuxHistoryFile::historyPath() { return stateFolder() + "/history.jsonl"; }

std::string LinuxHistoryFile::simulatedHistoryPath() {
    return stateFolder() + "/history-simulated.jsonl";
}

Result<std::unique_ptr<LockedFile>> LinuxHistoryFile::openLocked(LockFor use) {
    const std::string path = location();
    int flags = O_RDONLY;
    if (use == LockFor::Append) {
        const std::string folder = folderOf(path);
        if (!makeFolders(folder)) return systemError("cannot create the folder " + folder);
        flags = O_RDWR | O_APPEND | O_CREAT;
    } else {
        struct stat named {};
        if (::lstat(path.c_str(), &named) != 0 && errno == ENOENT) {
            return std::unique_ptr<LockedFile>();
        }
    }
    RegularFile opened = openRegular(path, flags, Links::Refused);
    if (opened.error == ELOOP) return Failure{path + " is a symbolic link; it is not followed"};
    if (opened.error != 0) return systemError("cannot open " + path, opened.error);
    if (!opened.fd.valid()) return Failure{path + " is not a regular file"};
    const int fd = opened.fd.get();
    if (auto locked = lockBounded(fd, use == LockFor::Append ? LOCK_EX : LOCK_SH, path); !locked) {
        return locked.failure();
    }
    return std::make_unique<FlockedFile>(std::move(opened.fd), path);
}

}  // namespace kv::platform::linux_impl
