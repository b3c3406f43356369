#include "ui/win32/Win32DialogControls.h"

#include <windows.h>

namespace kv::ui {

namespace {
HWND control(Win32DialogWindow& window, platform::Control c) {
    return static_cast<HWND>(window.item(platform::controlId(c)));
}
}  // namespace

void Win32DialogControls::setText(platform::Control c, const std::string& text) {
    if (HWND h = control(window_, c)) {
        ::SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Win32DialogControls::enable(platform::Control c, bool enabled) {
    window_.runOnUi([&] {
        const auto i = static_cast<size_t>(c);
        if (held_[i]) {
            wanted_[i] = enabled;
        } else if (HWND h = control(window_, c)) {
            ::EnableWindow(h, enabled ? TRUE : FALSE);
        }
    });
}

void Win32DialogControls::hold(platform::Control c, bool held) {
    window_.runOnUi([&] {
        const auto i = static_cast<size_t>(c);
        HWND h = control(window_, c);
        if (held_[i] == held || !h) return;
        if (held) wanted_[i] = ::IsWindowEnabled(h) != FALSE;
        held_[i] = held;
        ::EnableWindow(h, !held && wanted_[i] ? TRUE : FALSE);
    });
}

void Win32DialogControls::show(platform::Control c, bool visible) {
    window_.runOnUi([&] {
        if (HWND h = control(window_, c)) ::ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
        // Every transfer's local ending hides the Flash button; so does every
        // road outside a transfer.
        if (c == platform::Control::flashButton && !visible) window_.applyProgress({});
    });
}

void Win32DialogControls::setImageFacts(const std::optional<platform::ImageFacts>& facts) {
    window_.runOnUi([&] { window_.applyImageFacts(facts); });
}

void Win32DialogControls::setVerification(
    const std::optional<platform::Verification>& verification) {
    window_.runOnUi([&] { window_.applyVerification(verification); });
}

void Win32DialogControls::setProgress(const platform::TransferProgress& progress) {
    window_.runOnUi([&] { window_.applyProgress(progress); });
}

}  // namespace kv::ui
