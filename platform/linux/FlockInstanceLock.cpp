#include "platform/linux/FlockInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kv::platform::linux_impl {

std::string FlockInstanceLock::defaultFolder() {
    // Tests run several copies side by side, each with a lock of its own.
    if (const char* folder = std::getenv("KVFLASH_LOCK_DIR"); folder && *folder) return folder;
    if (::access("/run/lock", W_OK) == 0) return "/run/lock";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
    return "/tmp";
}

FlockInstanceLock::FlockInstanceLock(std::string folder)
    : path_((folder.empty() ? defaultFolder() : folder) + "/KV_TOOLS") {}

FlockInstanceLock::~FlockInstanceLock() { release(); }

uint32_t FlockInstanceLock::create() {
    release();
    // The lock file is ours: never through a link, never a FIFO or device.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ < 0) return static_cast<uint32_t>(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        release();
        return static_cast<uint32_t>(EINVAL);
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        // Like the named mutex, the handle stays open on this path.
        return err == EWOULDBLOCK ? kErrorAlreadyExists : static_cast<uint32_t>(err);
    }
    return 0;
}

void FlockInstanceLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

AdminCheck PosixAdmin::check(Trace& trace) {
    const unsigned user = static_cast<unsigned>(::geteuid());
    tracef(trace, "IsRunningAsAdmin - effective user id = %u\r\n", user);
    return user == 0 ? AdminCheck::Administrator : AdminCheck::NotAdministrator;
}

}  // namespace kv::platform::linux_impl
