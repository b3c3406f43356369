#include "main/Run.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "state/Context.h"
#include "app/HistoryCommand.h"
#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "main/ConsoleRun.h"
#include "main/DemoImage.h"
#include "main/Options.h"
#include "main/World.h"
#include "platform/linux/SigwaitTermination.h"
#include "spooler/QueueJournal.h"
#ifdef KVFLASH_HAVE_QT
#include "ui/qt/QtFrontEnd.h"
#endif

namespace kv::entry {

namespace {

bool desktopAvailable() {
#ifdef KVFLASH_HAVE_QT
    return ui::desktopAvailable();
#else
    return false;
#endif
}

#ifdef KVFLASH_HAVE_QT
int runWindow(Context& ctx, int& argc, char** argv) {
    ui::QtFrontEnd window(argc, argv);
    ctx.sys.wired.ui = &window.ui();
    ctx.sys.wired.controls = &window.controls();
    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);
    warnOfInterruptedFlash(ctx);
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

    // Before any other thread exists, so every thread leaves SIGINT, SIGTERM
    // and SIGHUP to its watcher.
    platform::linux_impl::SigwaitTermination termination;
    const std::string argv0 = argc > 0 ? argv[0] : "";
    std::unique_ptr<World> world =
        options.simulate ? makeSimulatedWorld(options, argv0) : makeRealWorld(options, argv0);
    platform::Services& sys = world->sys;

    if (options.identify || options.listQueues || options.restoreQueues || options.history) {
        return runMaintenance(sys, options, termination);
    }

    AppState state;
    Context ctx{state, sys};
    const bool implicitConsole = !options.console && !desktopAvailable();
#ifdef KVFLASH_HAVE_QT
    const bool console = options.console || implicitConsole;
#else
    const bool console = true;
#endif
    // Queues this run switched go back before a signal ends it; the
    // terminal also lets a flash under way finish on the first one, as the
    // window's Exit does.
    restoreQueuesOnTermination(ctx, termination, endProgramNow,
                               console ? refuseEndInFlashMode : std::function<void()>{});
    // The watcher uses ctx: it stops before ctx goes, on every return.
    struct StopWatching {
        platform::TerminationSignals& signals;
        ~StopWatching() { signals.stop(); }
    } stopWatching{termination};
    const std::string demoImage = demoImagePath(sys.files().executablePath(),
                                                KVFLASH_DEMO_IMAGE_FROM_BIN, KVFLASH_DEMO_IMAGE);
#ifdef KVFLASH_HAVE_QT
    if (!console) return runWindow(ctx, argc, argv);
#endif
    return runConsole(ctx, options, implicitConsole || !options.console, demoImage);
}

}  // namespace kv::entry
