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
    // The calendar moves with the virtual time, from a fixed start
    // (2024-01-01T00:00:00Z unless set), so records come out the same on
    // every run.
    int64_t wallMs() override;
    void setWallStartMs(int64_t ms);

    void advanceMs(uint64_t ms);
    std::vector<uint32_t> pauses() const;
    void clearPauses();
    uint64_t totalPausedMs() const;

private:
    mutable std::mutex mutex_;
    uint64_t now_ = 0;
    int64_t wallStart_ = 1704067200000;
    std::vector<uint32_t> pauses_;
};

}  // namespace kv::platform::sim
