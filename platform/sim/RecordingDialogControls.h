#pragma once
#include <array>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/DialogControls.h"

namespace kv::platform::sim {

// Keeps every change in order, with the thread it came from, and the
// resulting state of each control.
class RecordingDialogControls final : public DialogControls {
public:
    enum class Kind { Text, Enable, Disable, Show, Hide };
    struct Event {
        Kind kind;
        Control control;
        std::string text;  // for Kind::Text
        std::thread::id thread;
    };
    struct State {
        std::string text;
        bool enabled = true;
        bool visible = true;
        bool held = false;
    };

    void setText(Control control, const std::string& text) override;
    void enable(Control control, bool enabled) override;
    void show(Control control, bool visible) override;
    void hold(Control control, bool held) override;
    void setProgress(const TransferProgress& progress) override;
    void setImageFacts(const std::optional<ImageFacts>& facts) override;
    void setVerification(const std::optional<Verification>& verification) override;

    std::vector<Event> events() const;
    State state(Control control) const;
    std::string text(Control control) const { return state(control).text; }
    bool enabled(Control control) const { return state(control).enabled; }
    bool visible(Control control) const { return state(control).visible; }
    bool held(Control control) const { return state(control).held; }
    // Every text a control was given, in order.
    std::vector<std::string> textsOf(Control control) const;
    // Every progress report, in order.
    std::vector<TransferProgress> progress() const;
    // Every image line and verdict given (nullopt: emptied), in order.
    std::vector<std::optional<ImageFacts>> imageFacts() const;
    std::vector<std::optional<Verification>> verifications() const;
    // Sets a control's starting state without recording an event.
    void preset(Control control, State state);
    void clearEvents();

private:
    void record(Event event);
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::vector<TransferProgress> progress_;
    std::vector<std::optional<ImageFacts>> imageFacts_;
    std::vector<std::optional<Verification>> verifications_;
    std::array<State, kControlCount> states_{};
};

}  // namespace kv::platform::sim
