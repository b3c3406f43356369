#pragma once
#include <array>

#include "platform/DialogControls.h"
#include "ui/win32/Win32DialogWindow.h"

namespace kv::ui {

// The dialog's controls for the code that writes to them, from any thread:
// a text goes as a window-text message (WM_SETTEXT) sent to the control,
// the other changes as a message sent to the dialog; the caller waits until
// the UI thread has handled it. Changes after the dialog has gone are
// dropped.
class Win32DialogControls final : public platform::DialogControls {
public:
    explicit Win32DialogControls(Win32DialogWindow& window) : window_(window) {}

    void setText(platform::Control control, const std::string& text) override;
    void enable(platform::Control control, bool enabled) override;
    void show(platform::Control control, bool visible) override;
    void hold(platform::Control control, bool held) override;
    void setProgress(const platform::TransferProgress& progress) override;
    void setImageFacts(const std::optional<platform::ImageFacts>& facts) override;
    void setVerification(const std::optional<platform::Verification>& verification) override;

private:
    Win32DialogWindow& window_;
    // Per control, on the UI thread: shown disabled by hold(), and its own
    // state meanwhile.
    std::array<bool, platform::kControlCount> held_{};
    std::array<bool, platform::kControlCount> wanted_{};
};

}  // namespace kv::ui
