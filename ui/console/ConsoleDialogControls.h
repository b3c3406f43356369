#pragma once
#include <array>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/DialogControls.h"

namespace kv::ui {

// The dialog's controls as event lines on a stream ("text CONTROL \"...\"",
// "show CONTROL", ...), with their state kept so a command can be refused
// like a click on a greyed or hidden button. Callable from any thread.
class ConsoleDialogControls final : public platform::DialogControls {
public:
    struct State {
        std::string text;
        bool enabled = true;
        bool visible = true;
    };
    // `initial`: the controls as the dialog's template creates them.
    ConsoleDialogControls(std::FILE* out, std::array<State, platform::kControlCount> initial);

    void setText(platform::Control control, const std::string& text) override;
    void enable(platform::Control control, bool enabled) override;
    void show(platform::Control control, bool visible) override;
    // "image SIZE \"VERSION\" SHA256", or "image unreadable \"REASON\"".
    void setImageFacts(const std::optional<platform::ImageFacts>& facts) override;
    // "verify OUTCOME \"DETAIL\"".
    void setVerification(const std::optional<platform::Verification>& verification) override;

    // Every control as the dialog's template creates it.
    static std::array<State, platform::kControlCount> templateStates();

    State state(platform::Control control) const;
    // How many verdicts were shown, and the last one.
    size_t verdictCount() const;
    std::optional<platform::VerifyOutcome> lastVerdict() const;

private:
    void line(const std::string& text);
    std::FILE* out_;
    mutable std::mutex mutex_;
    // Only what a command needs to be refused: each control's last state,
    // so that a flash of any size keeps the same memory.
    std::array<State, platform::kControlCount> states_;
    size_t verdicts_ = 0;
    std::optional<platform::VerifyOutcome> lastVerdict_;
};

}  // namespace kv::ui
