#pragma once
#include <atomic>
#include <functional>
#include <memory>

#include "app/DialogHost.h"
#include "state/Context.h"
#include "ui/win32/Win32DialogWindow.h"

namespace kv::ui {

class Win32FleetWindow;

// The dialog's title, its one-shot timer (SetTimer on the dialog) and its
// end (EndDialog), done on the UI thread whatever thread asks.
class Win32DialogHost final : public DialogHost {
public:
    explicit Win32DialogHost(Win32DialogWindow& window);
    ~Win32DialogHost() override;

    std::string title() override;
    void setTitle(const std::string& title) override;
    void startTimer(int id, unsigned intervalMs) override;
    void stopTimer(int id) override;
    void endDialog(int result) override;
    // The history in a list view of its own (HistoryWindow), modal.
    bool showsHistoryTable() const override { return true; }
    void showHistory(const HistoryView& view) override;

    bool ended() const { return ended_.load(); }

    // The network printers' window over `ctx`, its resources in `instance`
    // (an HINSTANCE); without this the dialog has none. The window opens
    // modally over the dialog.
    void offerFleetWindow(Context& ctx, void* instance,
                          std::function<platform::Clock&(size_t)> clockFor = {});
    bool hasFleetWindow() const override { return fleetWindow_ != nullptr; }
    void openFleetWindow() override;
    bool fleetWindowOpen() override;
    // The network printers' window, once offered; nullptr before.
    Win32FleetWindow* fleetWindow() const { return fleetWindow_.get(); }

private:
    Win32DialogWindow& window_;
    std::unique_ptr<Win32FleetWindow> fleetWindow_;
    std::atomic<bool> ended_{false};
};

}  // namespace kv::ui
