#pragma once
#include <functional>
#include <mutex>

namespace kv {

// From "Printer responding" until the flash's verdict is given and recorded:
// the printer is in flash mode, and cutting the program off would leave it
// half programmed. This is the one place of the rule for a request to end
// the program meanwhile: the first one that can wait is held and carried out
// once flash mode is over; a second one is not held (it ends the program at
// once), nor is any outside flash mode.
class FlashModeGate {
public:
    void enter() {
        std::lock_guard lock(mutex_);
        ++inside_;
    }

    // Flash mode is over (when more than one was entered: the last). A held
    // end runs now, on this thread; it may not return.
    void leave() {
        std::function<void()> end;
        {
            std::lock_guard lock(mutex_);
            if (inside_ > 0) --inside_;
            if (inside_ > 0) return;
            end = std::move(held_);
            held_ = nullptr;
        }
        if (end) end();
    }

    // True when `end` is held for the leaving; `said` runs first, under the
    // gate's lock, so whatever it tells comes before the end. False, keeping
    // nothing, outside flash mode and for a second request (the held one is
    // then dropped: the caller ends the program now).
    bool hold(std::function<void()> end, const std::function<void()>& said) {
        std::lock_guard lock(mutex_);
        if (inside_ == 0 || ending_) return false;
        if (held_) {
            held_ = nullptr;
            ending_ = true;
            return false;
        }
        held_ = std::move(end);
        if (said) said();
        return true;
    }

private:
    std::mutex mutex_;
    int inside_ = 0;
    std::function<void()> held_;
    bool ending_ = false;
};

}  // namespace kv
