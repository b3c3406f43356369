#pragma once
#include <string>

namespace kv {

// What the main dialog needs from the window that shows it, beyond its
// controls and boxes: its title, its one timer and its end.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual std::string title() = 0;
    virtual void setTitle(const std::string& title) = 0;
    // One-shot use: the dialog stops the timer when it fires.
    virtual void startTimer(int id, unsigned intervalMs) = 0;
    virtual void stopTimer(int id) = 0;
    virtual void endDialog(int result) = 0;
};

}  // namespace kv
