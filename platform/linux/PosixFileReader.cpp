#include "platform/linux/PosixFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv::platform::linux_impl {

namespace {

class PosixReadableFile final : public ReadableFile {
public:
    PosixReadableFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~PosixReadableFile() override { ::close(fd_); }
    PosixReadableFile(const PosixReadableFile&) = delete;
    PosixReadableFile& operator=(const PosixReadableFile&) = delete;

    uint64_t size() const override { return size_; }

    int64_t read(uint8_t* buffer, size_t capacity) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, capacity);
            if (n >= 0) return n;
            if (errno == EINTR) continue;
            error_ = errno;
            return -1;
        }
    }

    std::string errorText() const override { return std::strerror(error_); }

private:
    int fd_;
    uint64_t size_;
    int error_ = 0;
};

}  // namespace

OpenedFile PosixFileReader::openRegular(const std::string& path) {
    OpenedFile opened;
    // Non-blocking, so a FIFO or a device cannot hold the open; regular files
    // ignore the flag for their reads.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        opened.reason = std::strerror(errno);
        return opened;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        opened.reason = std::strerror(errno);
        ::close(fd);
        return opened;
    }
    if (!S_ISREG(info.st_mode)) {
        opened.reason = "not a regular file";
        ::close(fd);
        return opened;
    }
    opened.file = std::make_unique<PosixReadableFile>(fd, static_cast<uint64_t>(info.st_size));
    return opened;
}

}  // namespace kv::platform::linux_impl
