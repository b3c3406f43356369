#include "platform/sim/RecordingSleepInhibitor.h"

namespace kv::platform::sim {

Result<void> RecordingSleepInhibitor::acquire(const std::string& who, const std::string& why) {
    std::function<void(const Event&)> hook;
    Event event{true, who, why};
    {
        std::lock_guard lock(mutex_);
        if (unavailable_) return Failure{"no sleep inhibitor on this machine"};
        events_.push_back(event);
        held_ = true;
        hook = hook_;
    }
    if (hook) hook(event);
    return {};
}

void RecordingSleepInhibitor::release() {
    std::function<void(const Event&)> hook;
    const Event event{false, {}, {}};
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
        held_ = false;
        hook = hook_;
    }
    if (hook) hook(event);
}

void RecordingSleepInhibitor::setUnavailable(bool unavailable) {
    std::lock_guard lock(mutex_);
    unavailable_ = unavailable;
}

void RecordingSleepInhibitor::onEvent(std::function<void(const Event&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<RecordingSleepInhibitor::Event> RecordingSleepInhibitor::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

bool RecordingSleepInhibitor::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

}  // namespace kv::platform::sim
