#include "platform/sim/RecordingSleepInhibitor.h"

namespace kv::platform::sim {

bool RecordingSleepInhibitor::acquire(const std::string& who, const std::string& why,
                                      std::string& error) {
    std::function<void(const Event&)> hook;
    Event event{true, who, why};
    {
        std::lock_guard lock(mutex_);
        if (unavailable_) {
            error = "no sleep inhibitor on this machine";
            return false;
        }
        events_.push_back(event);
        held_ = true;
        hook = hook_;
    }
    if (hook) hook(event);
    return true;
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
