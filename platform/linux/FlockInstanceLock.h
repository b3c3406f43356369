#pragma once
#include <string>

#include "platform/InstanceLock.h"
#include "platform/linux/RegularFile.h"

namespace kv::platform::linux_impl {

// An exclusive flock on a file named KV_TOOLS, shared by every user: the
// file is only opened for reading (flock needs no more), and one that is
// missing is made readable by all. The kernel drops the lock when the
// process dies, so a crash never leaves it stuck.
class FlockInstanceLock final : public InstanceLock {
public:
    // Empty folder: the system's run-time lock folder.
    explicit FlockInstanceLock(std::string folder = {});
    Result<LockState> create() override;
    void release() override;
    const std::string& path() const { return path_; }

    static std::string defaultFolder();

private:
    // The lock file opened, made when missing; a failure says why not.
    Result<Descriptor> open() const;

    std::string path_;
    Descriptor fd_;
};

class PosixAdmin final : public Admin {
public:
    AdminCheck check(Trace& trace) override;
};

}  // namespace kv::platform::linux_impl
