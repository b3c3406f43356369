#pragma once
#include <functional>
#include <map>

#include "app/DialogHost.h"
#include "state/Context.h"
#include "ui/qt/QtDialogWindow.h"
#include "ui/qt/UiDispatcher.h"

class QTimer;

namespace kv::ui {

class QtFleetWindow;

// Title, timers and end of the dialog window. A timer fires once per start
// (the dialog stops it on each tick anyway); starting it again restarts it.
class QtDialogHost final : public DialogHost {
public:
    QtDialogHost(QtDialogWindow& window, UiDispatcher& dispatcher)
        : window_(window), dispatcher_(dispatcher) {}

    std::string title() override;
    void setTitle(const std::string& title) override;
    void startTimer(int id, unsigned intervalMs) override;
    void stopTimer(int id) override;
    // Closes the window and ends its event loop with `result`.
    void endDialog(int result) override;
    // The history in a table of its own (HistoryWindow), modal.
    bool showsHistoryTable() const override { return true; }
    void showHistory(const HistoryView& view) override;

    bool timerActive(int id);

    // The network printers' window over `ctx` (each printer on `clockFor`'s
    // clock when given); without this the dialog has none.
    void offerFleetWindow(Context& ctx, std::function<platform::Clock&(size_t)> clockFor = {});
    bool hasFleetWindow() const override { return fleetContext_ != nullptr; }
    void openFleetWindow() override;
    bool fleetWindowOpen() override;
    // The window once opened; nullptr before.
    QtFleetWindow* fleetWindow() const { return fleetWindow_; }

private:
    QtDialogWindow& window_;
    UiDispatcher& dispatcher_;
    std::map<int, QTimer*> timers_;  // children of the window, UI thread only
    Context* fleetContext_ = nullptr;
    std::function<platform::Clock&(size_t)> fleetClockFor_;
    QtFleetWindow* fleetWindow_ = nullptr;  // a child of the window
};

}  // namespace kv::ui
