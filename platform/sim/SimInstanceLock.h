#pragma once
#include "platform/InstanceLock.h"

namespace kv::platform::sim {

// The tools' lock on a simulated machine: taken unless a test sets another
// answer. Counts the releases.
class SimInstanceLock final : public InstanceLock {
public:
    Result<LockState> create() override { return answer; }
    void release() override { ++releases; }
    Result<LockState> answer = LockState::Taken;
    int releases = 0;
};

}  // namespace kv::platform::sim
