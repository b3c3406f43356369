#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SleepInhibitor.h"

namespace kv::platform::sim {

// Keeps nothing awake; records every acquire and release, with a hook run at
// each (on the calling thread), and can play a system without the service.
class RecordingSleepInhibitor final : public SleepInhibitor {
public:
    struct Event {
        bool acquire;     // false: release
        std::string who;  // acquire only
        std::string why;  // acquire only
    };

    Result<void> acquire(const std::string& who, const std::string& why) override;
    void release() override;

    void setUnavailable(bool unavailable);
    void onEvent(std::function<void(const Event&)> hook);
    std::vector<Event> events() const;
    bool held() const;

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::function<void(const Event&)> hook_;
    bool unavailable_ = false;
    bool held_ = false;
};

}  // namespace kv::platform::sim
