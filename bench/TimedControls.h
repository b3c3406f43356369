#pragma once
#include <chrono>
#include <string>

#include "platform/DialogControls.h"

namespace kv::bench {

// A front end's controls with the data phase of a transfer timed: from the
// first block's count (set just before that block goes out) to "End Of
// File" (set once the last one went).
class TimedControls final : public platform::DialogControls {
public:
    explicit TimedControls(platform::DialogControls& inner) : inner_(inner) {}

    void setText(platform::Control control, const std::string& text) override {
        if (control == platform::Control::programStateText) {
            if (!started_ && text.find(" KBytes programmed") != std::string::npos) {
                started_ = true;
                start_ = std::chrono::steady_clock::now();
            } else if (text == "End Of File") {
                end_ = std::chrono::steady_clock::now();
            }
        }
        inner_.setText(control, text);
    }
    void enable(platform::Control control, bool enabled) override {
        inner_.enable(control, enabled);
    }
    void show(platform::Control control, bool visible) override { inner_.show(control, visible); }
    void setProgress(const platform::TransferProgress& progress) override {
        inner_.setProgress(progress);
    }

    double seconds() const { return std::chrono::duration<double>(end_ - start_).count(); }

private:
    platform::DialogControls& inner_;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point end_{};
};

}  // namespace kv::bench
