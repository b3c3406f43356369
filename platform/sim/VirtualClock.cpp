#include "platform/sim/VirtualClock.h"

#include <numeric>

namespace kv::platform::sim {

void VirtualClock::sleepMs(uint32_t ms) {
    std::lock_guard lock(mutex_);
    now_ += ms;
    pauses_.push_back(ms);
}

uint64_t VirtualClock::tickMs() {
    std::lock_guard lock(mutex_);
    return now_;
}

int64_t VirtualClock::wallMs() {
    std::lock_guard lock(mutex_);
    return wallStart_ + static_cast<int64_t>(now_);
}

void VirtualClock::setWallStartMs(int64_t ms) {
    std::lock_guard lock(mutex_);
    wallStart_ = ms;
}

void VirtualClock::advanceMs(uint64_t ms) {
    std::lock_guard lock(mutex_);
    now_ += ms;
}

std::vector<uint32_t> VirtualClock::pauses() const {
    std::lock_guard lock(mutex_);
    return pauses_;
}

void VirtualClock::clearPauses() {
    std::lock_guard lock(mutex_);
    pauses_.clear();
}

uint64_t VirtualClock::totalPausedMs() const {
    std::lock_guard lock(mutex_);
    return std::accumulate(pauses_.begin(), pauses_.end(), uint64_t{0});
}

}  // namespace kv::platform::sim
