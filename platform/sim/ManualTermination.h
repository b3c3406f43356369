#pragma once
#include <mutex>

#include "platform/TerminationSignals.h"

namespace kv::platform::sim {

// Termination requests made by the test itself: deliver() runs the handler
// on the calling thread.
class ManualTermination final : public TerminationSignals {
public:
    void watch(Handler handler) override {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        handler_ = nullptr;
    }
    // False when nothing watches.
    bool deliver(int signalNumber, bool canWait = true) {
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            handler = handler_;
        }
        if (!handler) return false;
        handler(EndRequest{signalNumber, canWait, terminationSignalName(signalNumber)});
        return true;
    }

private:
    std::mutex mutex_;
    Handler handler_;
};

}  // namespace kv::platform::sim
