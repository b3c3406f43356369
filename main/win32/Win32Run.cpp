#include "main/win32/Win32Run.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>

#include "app/HistoryCommand.h"
#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "main/ConsoleRun.h"
#include "main/Options.h"
#include "main/win32/Win32World.h"
#include "platform/win32/ConsoleCtrlTermination.h"
#include "spooler/QueueJournal.h"
#include "ui/win32/Win32FrontEnd.h"

namespace kv::entry {

namespace {

std::unique_ptr<World> makeWorld(const Options& options) {
    return options.simulate ? makeWin32SimulatedWorld(options) : makeWin32RealWorld(options);
}

// The demo image ships beside the programs.
std::string demoImageBesideProgram() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    folder.erase(folder.find_last_of('\\') + 1);
    return folder + "FMVQ_V5.20.bin";
}

// The watcher uses the context: it stops before the context goes.
struct StopWatching {
    platform::TerminationSignals& signals;
    ~StopWatching() { signals.stop(); }
};

}  // namespace

int runWin32Console(const std::vector<std::string>& args) {
    // The same bytes as on Linux: one "\n" per event line, whatever reads it.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
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
    platform::win32::ConsoleCtrlTermination termination;
    std::unique_ptr<World> world = makeWorld(options);
    if (options.identify || options.listQueues || options.restoreQueues || options.history) {
        return runMaintenance(world->sys, options, termination);
    }
    AppState state;
    Context ctx{state, world->sys};
    // Queues this run switched go back before Ctrl+C or a closed console
    // ends it; a first Ctrl+C lets a flash under way finish.
    restoreQueuesOnTermination(ctx, termination, endProgramNow, refuseEndInFlashMode);
    StopWatching stopWatching{termination};
    // A console program has no window to fall back to: without commands the
    // simulated world runs its demo, as on a Linux machine without display.
    return runConsole(ctx, options, !options.console, demoImageBesideProgram());
}

int runWin32Window(void* instance, const std::vector<std::string>& args) {
    const ParseResult parsed = parseOptions(args);
    const Options& options = parsed.options;
    if (!parsed.error.empty() || options.help || options.version || options.console ||
        options.identify || options.listQueues || options.restoreQueues || options.history) {
        // The window program has no terminal: those belong to kvflash-cli.exe.
        const std::string text =
            (parsed.error.empty() ? std::string(kVersionText) : "kvflash: " + parsed.error) +
            "\n\nThe terminal front end is kvflash-cli.exe:\n\n" + kUsageText;
        ::MessageBoxA(nullptr, text.c_str(), "kvflash", MB_OK);
        return parsed.error.empty() ? 0 : 2;
    }
    std::unique_ptr<World> world = makeWorld(options);
    AppState state;
    Context ctx{state, world->sys};
    ui::Win32FrontEnd window(instance);
    ctx.sys.wired.ui = &window.ui();
    ctx.sys.wired.controls = &window.controls();
    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);
    warnOfInterruptedFlash(ctx);
    MainDialog dialog(ctx, window.host());
    ui::Win32FrontEnd::Hooks hooks;
    hooks.transferRunning = [&ctx] { return ctx.state.flashInProgress.load(); };
    hooks.beforeQuit = [&ctx] {
        if (ctx.sys.wired.network) ctx.sys.wired.network->cleanup();
    };
    const int code = window.run(dialog, hooks);
    // The window goes with this scope: no worker may still be writing to it.
    waitForFlashEnd(ctx.state);
    return code;
}

}  // namespace kv::entry
