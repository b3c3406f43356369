#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/SleepInhibitor.h"

namespace kv::platform::win32 {

// Keeps the system from sleeping through SetThreadExecutionState
// (ES_CONTINUOUS | ES_SYSTEM_REQUIRED). That state belongs to the thread
// that set it, and acquire and release come from different threads, so a
// thread of its own sets it and clears it. A closed lid follows the power
// plan's own setting, which this cannot override.
class ExecutionStateInhibitor final : public SleepInhibitor {
public:
    // SetThreadExecutionState's shape: the new state in, the previous one
    // (0: refused) out. Tests give their own to see which thread sets what.
    using SetState = std::function<unsigned long(unsigned long)>;

    ExecutionStateInhibitor();
    explicit ExecutionStateInhibitor(SetState setState) : setState_(std::move(setState)) {}
    ~ExecutionStateInhibitor() override;
    ExecutionStateInhibitor(const ExecutionStateInhibitor&) = delete;
    ExecutionStateInhibitor& operator=(const ExecutionStateInhibitor&) = delete;

    Result<void> acquire(const std::string& who, const std::string& why) override;
    void release() override;

private:
    void hold();

    SetState setState_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread holder_;
    bool started_ = false;
    bool granted_ = false;
    unsigned long refusal_ = 0;  // the holder's error when refused
    bool releasing_ = false;
};

}  // namespace kv::platform::win32
