#pragma once
#include <mutex>
#include <vector>

#include "platform/Clock.h"

namespace kv::platform::sim {

// sleepMs advances time at once and records the pause.
class VirtualClock final : public Clock {
public:
    void sleepMs(uint32_t ms) override;
    uint64_t tickMs() override;

    void advanceMs(uint64_t ms);
    std::vector<uint32_t> pauses() const;
    void clearPauses();
    uint64_t totalPausedMs() const;

private:
    mutable std::mutex mutex_;
    uint64_t now_ = 0;
    std::vector<uint32_t> pauses_;
};

}  // namespace kv::platform::sim
