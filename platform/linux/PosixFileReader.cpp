#include "platform/linux/PosixFileReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/RegularFile.h"

namespace kv::platform::linux_impl {

namespace {

class PosixReadableFile final : public ReadableFile {
public:
    PosixReadableFile(Descriptor fd, uint64_t size) : fd_(std::move(fd)), size_(size) {}

    uint64_t size() const override { return size_; }

    int64_t read(uint8_t* buffer, size_t capacity) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, capacity);
            if (n >= 0) return n;
            if (errno == EINTR) continue;
            error_ = errno;
            return -1;
        }
    }

    std::string errorText() const override { return std::strerror(error_); }

private:
    Descriptor fd_;
    uint64_t size_;
    int error_ = 0;
};

}  // namespace

OpenedFile PosixFileReader::openRegular(const std::string& path) {
    OpenedFile opened;
    // An image may well be a link.
    RegularFile file = linux_impl::openRegular(path, O_RDONLY, Links::Followed);
    if (!file.fd.valid()) {
        opened.reason = file.error != 0 ? std::strerror(file.error) : "not a regular file";
        return opened;
    }
    opened.file = std::make_unique<PosixReadableFile>(std::move(file.fd), file.size);
    return opened;
}

}  // namespace kv::platform::linux_impl
