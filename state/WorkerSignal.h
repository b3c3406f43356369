#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kv {

// A generous bound for waiting on a worker: a whole flash in virtual time
// takes well under a second; a real one runs longer and is not waited for.
inline constexpr std::chrono::milliseconds kWorkerEndWait{30000};

// Lets a waiter (a test, the terminal front end at exit) learn without
// sleeping that a detached worker has finished. The worker notifies as its
// very last step and touches nothing of the application afterwards.
class WorkerSignal {
public:
    void notifyEnded() {
        std::lock_guard lock(mutex_);
        ++ended_;
        // Notified under the lock: a waiter cannot return (and destroy the
        // state holding this signal) before the worker is done with it.
        wake_.notify_all();
    }

    // The worker's last step: `running` goes false and the end is counted
    // under the lock, so a waitWhileRunning that sees it false returns only
    // after the worker has let go of this signal.
    void notifyEnded(std::atomic<bool>& running) {
        std::lock_guard lock(mutex_);
        running.store(false);
        ++ended_;
        wake_.notify_all();
    }

    // Waits until `running` is false, whatever earlier ends were left
    // untaken. False when the time ran out.
    bool waitWhileRunning(const std::atomic<bool>& running,
                          std::chrono::milliseconds timeout = kWorkerEndWait) {
        std::unique_lock lock(mutex_);
        return wake_.wait_for(lock, timeout, [&running] { return !running.load(); });
    }

    uint64_t endedCount() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }

    // Waits for one more worker end than earlier waits have taken; an end
    // that came before the wait counts. False when the time ran out.
    bool waitForWorkerEnd(std::chrono::milliseconds timeout = kWorkerEndWait) {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, timeout, [this] { return ended_ > taken_; })) return false;
        ++taken_;
        return true;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    uint64_t ended_ = 0;
    uint64_t taken_ = 0;
};

}  // namespace kv
