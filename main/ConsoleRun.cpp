#include "main/ConsoleRun.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <vector>

#include "app/HistoryCommand.h"
#include "app/IdentifyCommand.h"
#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "spooler/QueueJournal.h"
#include "ui/console/ConsoleDialogControls.h"
#include "ui/console/ConsoleDialogHost.h"
#include "ui/console/ConsoleSession.h"
#include "ui/console/ConsoleText.h"
#include "ui/console/ConsoleUi.h"
#include "ui/template/DialogTemplate.h"

namespace kv::entry {

// By the flag: an earlier worker's end that nobody took must not count for
// this one.
void waitForFlashEnd(AppState& state) {
    while (!state.workerSignal.waitWhileRunning(state.flashInProgress, std::chrono::seconds(1))) {
    }
}

void refuseEndInFlashMode() {
    ui::writeEventLine(stdout, ui::boxEventLine(std::nullopt, kCannotExitText));
}

int runMaintenance(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals) {
    ui::ConsoleUi consoleUi(stdout, sys.files(), options.yes);
    sys.wired.ui = &consoleUi;
    AppState state;
    Context ctx{state, sys};
    std::optional<GatedJournal> journal;
    if (options.restoreQueues && sys.wired.queueJournal) {
        journal.emplace(*sys.wired.queueJournal);
        sys.wired.queueJournal = &*journal;
    }
    IdentifyFields fields;
    // The report goes out once: from this thread when the command ends, or
    // from the handler when a signal ends it first.
    std::mutex reporting;
    bool reported = false;
    signals.watch([&](const platform::EndRequest& request) {
        const int signalNumber = request.signalNumber;
        {
            std::lock_guard lock(reporting);
            if (journal) {
                journal->close();
                std::fprintf(stderr,
                             "kvflash: interrupted by signal %d; the journal %s keeps every print "
                             "queue not yet restored\n",
                             signalNumber, journal->location().c_str());
            }
            if (options.identify && !reported) {
                std::fputs(formatInterruptedIdentify(fields, signalNumber).c_str(), stdout);
            }
            reported = true;
        }
        endProgramNow(128 + signalNumber);
    });
    struct StopWatching {
        platform::TerminationSignals& signals;
        ~StopWatching() { signals.stop(); }
    } stopWatching{signals};

    if (options.listQueues) return listQueues(sys, std::cout);
    if (options.restoreQueues) return restoreQueues(sys, std::cout);
    if (options.history) return showHistory(sys, options.json, std::cout, std::cerr);
    // A network printer only: no local port or queue is touched, so no
    // instance lock or administrator rights are needed.
    std::string report;
    const int code = runIdentifyCommand(ctx, *options.identify, fields, report);
    std::lock_guard lock(reporting);
    if (!reported) std::fputs(report.c_str(), code == 2 ? stderr : stdout);
    reported = true;
    return code;
}

int runConsole(Context& ctx, const Options& options, bool demoWhenIdle,
               const std::string& demoImage) {
    ui::ConsoleUi consoleUi(stdout, ctx.sys.files(), options.yes);
    ui::ConsoleDialogControls controls(stdout, ui::ConsoleDialogControls::templateStates());
    ui::ConsoleDialogHost host(stdout, ui::mainDialogFrame().title);
    ctx.sys.wired.ui = &consoleUi;
    ctx.sys.wired.controls = &controls;

    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);
    warnOfInterruptedFlash(ctx);

    std::vector<ui::ConsoleCommand> commands = options.commands;
    // What --simulate runs when no command is given: the whole road of one
    // flash with the bundled demo image.
    if (commands.empty() && demoWhenIdle && options.simulate && !ctx.state.autoLoadMode) {
        commands = {{ui::ConsoleCommand::Kind::Find, {}},
                    {ui::ConsoleCommand::Kind::Select, demoImage},
                    {ui::ConsoleCommand::Kind::Flash, {}}};
    }
    MainDialog dialog(ctx, host);
    ui::ConsoleSession session({dialog, controls, host, consoleUi, ctx.clock(), stdout,
                                [&ctx] { return ctx.state.flashInProgress.load(); },
                                [&ctx] { waitForFlashEnd(ctx.state); }});
    const int code = session.run(commands);
    waitForFlashEnd(ctx.state);
    return code;
}

}  // namespace kv::entry
