#pragma once
#include <string>

#include "platform/Result.h"

namespace kv::platform {

// Keeps the machine from sleeping (suspend, the idle timer, a closed lid)
// while it is held. acquire and release may come from different threads.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Succeeds when the machine is now kept awake; fails with the reason when
    // the system offers no way to (the program goes on). Acquiring while held
    // keeps the one hold.
    virtual Result<void> acquire(const std::string& who, const std::string& why) = 0;
    // Lets the machine sleep again; harmless when nothing is held.
    virtual void release() = 0;
};

}  // namespace kv::platform
