#pragma once
#include "platform/DialogControls.h"
#include "ui/qt/QtDialogWindow.h"
#include "ui/qt/UiDispatcher.h"

namespace kv::ui {

// The dialog's controls for the code that writes to them, from any thread.
class QtDialogControls final : public platform::DialogControls {
public:
    QtDialogControls(QtDialogWindow& window, UiDispatcher& dispatcher)
        : window_(window), dispatcher_(dispatcher) {}

    void setText(platform::Control control, const std::string& text) override {
        dispatcher_.run([&] { window_.applyText(control, text); });
    }
    void enable(platform::Control control, bool enabled) override {
        dispatcher_.run([&] { window_.applyEnabled(control, enabled); });
    }
    void show(platform::Control control, bool visible) override {
        dispatcher_.run([&] { window_.applyVisible(control, visible); });
    }
    void hold(platform::Control control, bool held) override {
        dispatcher_.run([&] { window_.applyHeld(control, held); });
    }
    void setProgress(const platform::TransferProgress& progress) override {
        dispatcher_.run([&] { window_.applyProgress(progress); });
    }
    void setImageFacts(const std::optional<platform::ImageFacts>& facts) override {
        dispatcher_.run([&] { window_.applyImageFacts(facts); });
    }
    void setVerification(const std::optional<platform::Verification>& verification) override {
        dispatcher_.run([&] { window_.applyVerification(verification); });
    }

private:
    QtDialogWindow& window_;
    UiDispatcher& dispatcher_;
};

}  // namespace kv::ui
