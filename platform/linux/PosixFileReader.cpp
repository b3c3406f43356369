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

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, capacity);
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR) return Failure{std::strerror(errno)};
        }
    }

private:
    Descriptor fd_;
    uint64_t size_;
};

}  // namespace

Result<std::unique_ptr<ReadableFile>> PosixFileReader::openRegular(const std::string& path) {
    // An image may well be a link.
    RegularFile file = linux_impl::openRegular(path, O_RDONLY, Links::Followed);
    if (!file.fd.valid()) {
        return Failure{file.error != 0 ? std::strerror(file.error) : "not a regular file"};
    }
    return std::make_unique<PosixReadableFile>(std::move(file.fd), file.size);
}

}  // namespace kv::platform::linux_impl
