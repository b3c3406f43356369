#include "ui/win32/Win32DialogHost.h"

#include <windows.h>

#include "ui/win32/HistoryWindow.h"
#include "ui/win32/Win32FleetWindow.h"

namespace kv::ui {

namespace {
HWND dialogOf(Win32DialogWindow& window) { return static_cast<HWND>(window.hwnd()); }
// The title is read as the dialog did: at most 1023 characters.
constexpr int kTitleCapacity = 1024;
}  // namespace

Win32DialogHost::Win32DialogHost(Win32DialogWindow& window) : window_(window) {}

Win32DialogHost::~Win32DialogHost() = default;

void Win32DialogHost::offerFleetWindow(Context& ctx, void* instance,
                                       std::function<platform::Clock&(size_t)> clockFor) {
    fleetWindow_ = std::make_unique<Win32FleetWindow>(instance, ctx, std::move(clockFor));
}

void Win32DialogHost::openFleetWindow() {
    if (!fleetWindow_) return;
    window_.runOnUi([&] { fleetWindow_->runModal(window_.hwnd()); });
}

bool Win32DialogHost::fleetWindowOpen() { return fleetWindow_ && fleetWindow_->hwnd() != nullptr; }

std::string Win32DialogHost::title() {
    std::string text;
    window_.runOnUi([&] {
        char buffer[kTitleCapacity] = {};
        const int n = ::GetWindowTextA(dialogOf(window_), buffer, kTitleCapacity);
        text.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    });
    return text;
}

void Win32DialogHost::setTitle(const std::string& title) {
    window_.runOnUi([&] { ::SetWindowTextA(dialogOf(window_), title.c_str()); });
}

void Win32DialogHost::startTimer(int id, unsigned intervalMs) {
    window_.runOnUi(
        [&] { ::SetTimer(dialogOf(window_), static_cast<UINT_PTR>(id), intervalMs, nullptr); });
}

void Win32DialogHost::stopTimer(int id) {
    window_.runOnUi([&] { ::KillTimer(dialogOf(window_), static_cast<UINT_PTR>(id)); });
}

void Win32DialogHost::endDialog(int result) {
    window_.runOnUi([&] {
        ended_ = true;
        ::EndDialog(dialogOf(window_), result);
    });
}

void Win32DialogHost::showHistory(const HistoryView& view) {
    window_.runOnUi([&] { showHistoryWindow(window_.hwnd(), view); });
}

}  // namespace kv::ui
