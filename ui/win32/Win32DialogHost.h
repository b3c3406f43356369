#pragma once
#include <atomic>

#include "app/DialogHost.h"
#include "ui/win32/Win32DialogWindow.h"

namespace kv::ui {

// The dialog's title, its one-shot timer (SetTimer on the dialog) and its
// end (EndDialog), done on the UI thread whatever thread asks.
class Win32DialogHost final : public DialogHost {
public:
    explicit Win32DialogHost(Win32DialogWindow& window) : window_(window) {}

    std::string title() override;
    void setTitle(const std::string& title) override;
    void startTimer(int id, unsigned intervalMs) override;
    void stopTimer(int id) override;
    void endDialog(int result) override;
    // The history in a list view of its own (HistoryWindow), modal.
    bool showsHistoryTable() const override { return true; }
    void showHistory(const HistoryView& view) override;

    bool ended() const { return ended_.load(); }

private:
    Win32DialogWindow& window_;
    std::atomic<bool> ended_{false};
};

}  // namespace kv::ui
