#include "platform/win32/ExecutionStateInhibitor.h"

#include <windows.h>

namespace kv::platform::win32 {

ExecutionStateInhibitor::ExecutionStateInhibitor()
    : setState_([](unsigned long state) { return ::SetThreadExecutionState(state); }) {}

ExecutionStateInhibitor::~ExecutionStateInhibitor() { release(); }

void ExecutionStateInhibitor::hold() {
    const bool granted = setState_(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    const DWORD error = granted ? 0 : ::GetLastError();
    std::unique_lock lock(mutex_);
    started_ = true;
    granted_ = granted;
    refusal_ = error;
    changed_.notify_all();
    if (!granted) return;
    changed_.wait(lock, [this] { return releasing_; });
    setState_(ES_CONTINUOUS);
}

Result<void> ExecutionStateInhibitor::acquire(const std::string&, const std::string&) {
    std::unique_lock lock(mutex_);
    if (holder_.joinable() && granted_) return {};
    if (holder_.joinable()) {
        lock.unlock();
        holder_.join();
        lock.lock();
    }
    started_ = false;
    granted_ = false;
    releasing_ = false;
    try {
        holder_ = std::thread([this] { hold(); });
    } catch (const std::system_error&) {
        return Failure{"no thread to hold the execution state"};
    }
    // The thread answers at once: one system call.
    changed_.wait(lock, [this] { return started_; });
    if (granted_) return {};
    return Failure{"SetThreadExecutionState refused (error " + std::to_string(refusal_) + ")"};
}

void ExecutionStateInhibitor::release() {
    std::thread done;
    {
        std::lock_guard lock(mutex_);
        if (!holder_.joinable()) return;
        releasing_ = true;
        changed_.notify_all();
        done = std::move(holder_);
    }
    done.join();
}

}  // namespace kv::platform::win32
