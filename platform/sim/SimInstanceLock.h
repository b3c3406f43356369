#pragma once
#include <cstdint>

#include "platform/InstanceLock.h"

namespace kv::platform::sim {

// The tools' lock on a simulated machine: nobody else holds it. Counts
// the releases.
class SimInstanceLock final : public InstanceLock {
public:
    uint32_t create() override { return 0; }
    void release() override { ++releases; }
    int releases = 0;
};

}  // namespace kv::platform::sim
