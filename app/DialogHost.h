#pragma once
#include <string>

#include "app/HistoryRows.h"

namespace kv {

// What the main dialog needs from the window that shows it, beyond its
// controls and boxes: its title, its one timer, its end and the history
// window.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual std::string title() = 0;
    virtual void setTitle(const std::string& title) = 0;
    // One-shot use: the dialog stops the timer when it fires.
    virtual void startTimer(int id, unsigned intervalMs) = 0;
    virtual void stopTimer(int id) = 0;
    virtual void endDialog(int result) = 0;
    // The flash history as a table, in a window of its own; a host without
    // one leaves the dialog to show the text report.
    virtual bool showsHistoryTable() const { return false; }
    virtual void showHistory(const HistoryView& view) { (void)view; }
    // The window of many network printers, where the front end has one:
    // opened (or brought to the front) by the Network Printers button.
    virtual bool hasFleetWindow() const { return false; }
    virtual void openFleetWindow() {}
    // The network printers' window is open now.
    virtual bool fleetWindowOpen() { return false; }
};

}  // namespace kv
