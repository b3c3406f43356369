#pragma once
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "app/DialogHost.h"

namespace kv::ui {

// The window's title and its one timer, for the terminal.
class ConsoleDialogHost final : public DialogHost {
public:
    ConsoleDialogHost(std::FILE* out, std::string title);
    std::string title() override;
    void setTitle(const std::string& title) override;
    void startTimer(int id, unsigned intervalMs) override;
    void stopTimer(int id) override;
    void endDialog(int result) override;

    struct Timer {
        int id;
        unsigned intervalMs;
    };
    std::optional<Timer> pendingTimer() const;
    bool ended() const;

private:
    std::FILE* out_;
    mutable std::mutex mutex_;
    std::string title_;
    std::optional<Timer> timer_;
    bool ended_ = false;
};

}  // namespace kv::ui
