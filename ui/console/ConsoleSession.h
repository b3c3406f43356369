#pragma once
#include <cstdio>
#include <functional>
#include <vector>

#include "app/DialogEvents.h"
#include "ui/console/ConsoleCommand.h"
#include "platform/Clock.h"
#include "ui/console/ConsoleDialogControls.h"
#include "ui/console/ConsoleDialogHost.h"
#include "ui/console/ConsoleUi.h"

namespace kv::ui {

// Runs the main dialog in the terminal: its start, the automatic-load
// timer, then the commands in order as clicks would be, and Exit.
class ConsoleSession {
public:
    struct Parts {
        DialogEvents& dialog;
        ConsoleDialogControls& controls;
        ConsoleDialogHost& host;
        ConsoleUi& ui;
        platform::Clock& clock;
        std::FILE* out;
        // Whether a transfer worker is running now.
        std::function<bool()> flashRunning;
        // Blocks until the running worker (and its re-probe) has ended.
        std::function<void()> waitForFlashEnd;
    };

    explicit ConsoleSession(Parts parts) : p_(std::move(parts)) {}

    // 0: every command ran and the last flash, if any, was verified; 3: the
    // last flash went through but its result could not be checked; 1: a
    // command was refused, the last flash failed, did not take or lost the
    // printer, or the dialog asked the program to end.
    int run(const std::vector<ConsoleCommand>& commands);

private:
    // The exit code a flash came to, from the verdict shown since
    // `verdictsBefore` verdicts (none: 1).
    int flashCodeSince(size_t verdictsBefore) const;
    bool refused(platform::Control control);
    void fireDueTimer();
    void waitForWorker();
    bool runCommand(const ConsoleCommand& command);
    // The dialog posted a quit request while it was still open (it cannot go
    // on: the printer's ID unreadable, the print queues not switched). The
    // window then ends without Exit; so does the terminal.
    bool quitRequested() const;
    // The run's last lines when it ends on that request; its exit code.
    int endOnQuitRequest();

    Parts p_;
    std::optional<int> lastFlashCode_;
};

inline constexpr int kExitVerified = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUnchecked = 3;

}  // namespace kv::ui
