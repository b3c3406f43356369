#include "platform/linux/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kv::platform::linux_impl {

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        (void)close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool Descriptor::close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
}

RegularFile openRegular(const std::string& path, int flags, Links links, unsigned mode) {
    RegularFile opened;
    flags |= O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == Links::Refused) flags |= O_NOFOLLOW;
    Descriptor fd(::open(path.c_str(), flags, static_cast<mode_t>(mode)));
    if (!fd.valid()) {
        opened.error = errno;
        return opened;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        opened.error = errno;
        return opened;
    }
    if (!S_ISREG(info.st_mode)) return opened;
    opened.fd = std::move(fd);
    opened.size = static_cast<uint64_t>(info.st_size);
    return opened;
}

}  // namespace kv::platform::linux_impl
