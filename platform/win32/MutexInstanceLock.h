#pragma once
#include <string>

#include "platform/InstanceLock.h"

namespace kv::platform::win32 {

// The named mutex the maker's tools share. Creating it while another
// process holds a handle to it answers ERROR_ALREADY_EXISTS; the handle is
// kept on that path too, as the tools have always done, and goes with
// release() or the process.
class MutexInstanceLock final : public InstanceLock {
public:
    explicit MutexInstanceLock(std::string name = "KV_TOOLS");
    ~MutexInstanceLock() override;
    MutexInstanceLock(const MutexInstanceLock&) = delete;
    MutexInstanceLock& operator=(const MutexInstanceLock&) = delete;

    Result<LockState> create() override;
    void release() override;

private:
    std::string name_;
    void* handle_ = nullptr;
};

}  // namespace kv::platform::win32
