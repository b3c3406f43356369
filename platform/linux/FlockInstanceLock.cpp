#include "platform/linux/FlockInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kv::platform::linux_impl {

namespace {

constexpr const char* kRunLock = "/run/lock";
// Every user may open it: the lock is shared by all of them.
constexpr mode_t kLockFileMode = 0666;
// Other copies may make or remove the file between our two opens; that
// many rounds, then the lock counts as not takeable.
constexpr int kOpenRounds = 3;

Failure lockFailure(const std::string& what, const std::string& path, int error) {
    return Failure{what + " " + path + ": " + std::strerror(error)};
}

// Why an opened name was refused.
Failure lockRefusal(const std::string& path, int error) {
    if (error == ELOOP) return Failure{path + " is a symbolic link"};
    if (error == 0) return Failure{path + " is not a regular file"};
    return lockFailure("cannot open", path, error);
}

}  // namespace

std::string FlockInstanceLock::defaultFolder() {
    // Tests run several copies side by side, each with a lock of its own.
    if (const char* folder = std::getenv("KVFLASH_LOCK_DIR"); folder && *folder) return folder;
    // A lock file already there serves every user, even one who could not
    // make it; whatever stands in its place is refused there, not avoided.
    struct stat info {};
    const std::string shared = std::string(kRunLock) + "/KV_TOOLS";
    if (::lstat(shared.c_str(), &info) == 0 || ::access(kRunLock, W_OK) == 0) return kRunLock;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
    return "/tmp";
}

FlockInstanceLock::FlockInstanceLock(std::string folder)
    : path_((folder.empty() ? defaultFolder() : folder) + "/KV_TOOLS") {}

Result<Descriptor> FlockInstanceLock::open() const {
    // Never through a link, never a FIFO or device, never a wait at open.
    for (int round = 0; round < kOpenRounds; ++round) {
        RegularFile existing = openRegular(path_, O_RDONLY, Links::Refused);
        if (existing.fd.valid()) return std::move(existing.fd);
        if (existing.error != ENOENT) return lockRefusal(path_, existing.error);

        RegularFile made =
            openRegular(path_, O_RDONLY | O_CREAT | O_EXCL, Links::Refused, kLockFileMode);
        // Another copy made it first (or a link stands there): open again.
        if (made.error == EEXIST) continue;
        if (!made.fd.valid()) {
            return made.error == 0 ? lockRefusal(path_, 0)
                                   : lockFailure("cannot create", path_, made.error);
        }
        // Whatever the umask took away.
        if (::fchmod(made.fd.get(), kLockFileMode) != 0) {
            return Failure{"cannot give " + path_ + " mode 0666: " + std::strerror(errno)};
        }
        return std::move(made.fd);
    }
    return Failure{path_ + " keeps appearing and disappearing"};
}

Result<LockState> FlockInstanceLock::create() {
    release();
    Result<Descriptor> opened = open();
    if (!opened) return opened.failure();
    fd_ = std::move(*opened);
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) return LockState::Taken;
    const int error = errno;
    // Like the named mutex, the handle stays open while another holds it.
    if (error == EWOULDBLOCK) return LockState::Held;
    release();
    return lockFailure("cannot lock", path_, error);
}

void FlockInstanceLock::release() { (void)fd_.close(); }

AdminCheck PosixAdmin::check(Trace& trace) {
    const unsigned user = static_cast<unsigned>(::geteuid());
    tracef(trace, "IsRunningAsAdmin - effective user id = %u\r\n", user);
    return user == 0 ? AdminCheck::Administrator : AdminCheck::NotAdministrator;
}

}  // namespace kv::platform::linux_impl
