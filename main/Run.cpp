#include "main/Run.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "state/Context.h"
#include "app/IdentifyCommand.h"
#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "main/Options.h"
#include "main/World.h"
#include "platform/linux/SigwaitTermination.h"
#include "spooler/QueueJournal.h"
#include "ui/console/ConsoleDialogControls.h"
#include "ui/console/ConsoleDialogHost.h"
#include "ui/console/ConsoleSession.h"
#include "ui/console/ConsoleUi.h"
#include "ui/template/DialogTemplate.h"
#ifdef KVFLASH_HAVE_QT
#include "ui/qt/QtFrontEnd.h"
#endif

namespace kv::entry {

namespace {

constexpr const char* kVersionText = "kvflash 4.0.2.2";

bool desktopAvailable() {
#ifdef KVFLASH_HAVE_QT
    return ui::desktopAvailable();
#else
    return false;
#endif
}

// Waits until a running worker (and its re-probe) has ended; the worker's
// own steps are all bounded. By the flag: an earlier worker's end that
// nobody took must not count for this one.
void waitForFlashEnd(AppState& state) {
    while (!state.workerSignal.waitWhileRunning(state.flashInProgress, std::chrono::seconds(1))) {
    }
}

// What --simulate runs in a terminal when no command is given: the whole
// road of one flash with the bundled demo image.
std::vector<ConsoleCommand> demoCommands() {
    return {{ConsoleCommand::Kind::Find, {}},
            {ConsoleCommand::Kind::Select, KVFLASH_DEMO_IMAGE},
            {ConsoleCommand::Kind::Flash, {}}};
}

int runConsole(Context& ctx, const Options& options, bool implicitConsole) {
    ui::ConsoleUi consoleUi(stdout, options.yes);
    ui::ConsoleDialogControls controls(stdout, ui::ConsoleDialogControls::templateStates());
    ui::ConsoleDialogHost host(stdout, ui::mainDialogFrame().title);
    ctx.sys.wired.ui = &consoleUi;
    ctx.sys.wired.controls = &controls;

    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);

    std::vector<ConsoleCommand> commands = options.commands;
    if (commands.empty() && implicitConsole && options.simulate && ctx.state.autoLoadMode == 0) {
        commands = demoCommands();
    }
    MainDialog dialog(ctx, host);
    ui::ConsoleSession session({dialog, controls, host, consoleUi, ctx.clock(), stdout,
                                [&ctx] { return ctx.state.flashInProgress.load(); },
                                [&ctx] { waitForFlashEnd(ctx.state); }});
    const int code = session.run(commands);
    waitForFlashEnd(ctx.state);
    return code;
}

#ifdef KVFLASH_HAVE_QT
int runWindow(Context& ctx, int& argc, char** argv) {
    ui::QtFrontEnd window(argc, argv);
    ctx.sys.wired.ui = &window.ui();
    ctx.sys.wired.controls = &window.controls();
    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);
    MainDialog dialog(ctx, window.host());
    const int code = window.run(dialog);
    // The window goes with this scope: no worker may still be writing to it.
    waitForFlashEnd(ctx.state);
    return code;
}
#endif

}  // namespace

int runKvflash(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kvflash: %s\n%s", parsed.error.c_str(), kUsageText);
        return 2;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::puts(kVersionText);
        return 0;
    }

    // Before any other thread exists, so every thread leaves SIGINT and
    // SIGTERM to its watcher.
    platform::linux_impl::SigwaitTermination termination;
    const std::string argv0 = argc > 0 ? argv[0] : "";
    std::unique_ptr<World> world =
        options.simulate ? makeSimulatedWorld(options, argv0) : makeRealWorld(options, argv0);
    platform::Services& sys = world->sys;

    if (options.identify || options.listQueues || options.restoreQueues) {
        ui::ConsoleUi consoleUi(stdout, options.yes);
        sys.wired.ui = &consoleUi;
        AppState state;
        Context ctx{state, sys};
        if (options.listQueues) return listQueues(sys, std::cout);
        if (options.restoreQueues) return restoreQueues(sys, std::cout);
        // A network printer only: no local port or queue is touched, so no
        // instance lock or administrator rights are needed.
        std::string report;
        const int code = runIdentifyCommand(ctx, *options.identify, report);
        std::fputs(report.c_str(), code == 2 ? stderr : stdout);
        return code;
    }

    AppState state;
    Context ctx{state, sys};
    // Queues this run switched go back before a SIGINT or SIGTERM ends it.
    restoreQueuesOnTermination(ctx, termination);
    // The watcher uses ctx: it stops before ctx goes, on every return.
    struct StopWatching {
        platform::TerminationSignals& signals;
        ~StopWatching() { signals.stop(); }
    } stopWatching{termination};
    const bool implicitConsole = !options.console && !desktopAvailable();
    if (options.console || implicitConsole) return runConsole(ctx, options, implicitConsole);
#ifdef KVFLASH_HAVE_QT
    return runWindow(ctx, argc, argv);
#else
    return runConsole(ctx, options, true);
#endif
}

}  // namespace kv::entry
