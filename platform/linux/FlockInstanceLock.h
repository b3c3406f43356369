#pragma once
#include <string>

#include "platform/InstanceLock.h"

namespace kv::platform::linux_impl {

// An exclusive flock on a file named KV_TOOLS. The kernel drops the lock
// when the process dies, so a crash never leaves it stuck.
class FlockInstanceLock final : public InstanceLock {
public:
    // Empty folder: the system's run-time lock folder.
    explicit FlockInstanceLock(std::string folder = {});
    ~FlockInstanceLock() override;
    uint32_t create() override;
    void release() override;
    const std::string& path() const { return path_; }

    static std::string defaultFolder();

private:
    std::string path_;
    int fd_ = -1;
};

class PosixAdmin final : public Admin {
public:
    AdminCheck check(Trace& trace) override;
};

}  // namespace kv::platform::linux_impl
