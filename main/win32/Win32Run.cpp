#include "main/win32/Win32Run.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <memory>

#include "kvflash/Version.h"
#include "main/ConsoleRun.h"
#include "main/Options.h"
#include "main/Program.h"
#include "main/RunDialog.h"
#include "main/win32/Win32World.h"
#include "platform/win32/ConsoleCtrlTermination.h"
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
    return folder + KVFLASH_DEMO_IMAGE_NAME;
}

}  // namespace

int runWin32Console(const std::vector<std::string>& args) {
    // The same bytes as on Linux: one "\n" per event line, whatever reads it.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const ParseResult parsed = parseOptions(args);
    if (const auto code = answerInTerminal(parsed)) return *code;
    const Options& options = parsed.options;
    platform::win32::ConsoleCtrlTermination termination;
    std::unique_ptr<World> world = makeWorld(options);
    // A first Ctrl+C lets a flash under way finish. A console program has no
    // window to fall back to: without commands the simulated world runs its
    // demo, as on a Linux machine without display.
    return runInWorld(*world, options, termination, refuseEndInFlashMode, [&](Context& ctx) {
        return runConsole(ctx, options, !options.console, demoImageBesideProgram());
    });
}

int runWin32Window(void* instance, const std::vector<std::string>& args) {
    const ParseResult parsed = parseOptions(args);
    const Options& options = parsed.options;
    if (immediateAnswer(parsed) || options.console || options.isMaintenance() ||
        !options.scanTargets.empty() || !options.fleetTargets.empty()) {
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
    ui::Win32FrontEnd::Hooks hooks;
    hooks.transferRunning = [&ctx] { return ctx.state.flashInProgress.load(); };
    hooks.beforeQuit = [&ctx] { ctx.sys.network().cleanup(); };
    ui::Win32FrontEnd window(instance, hooks);
    return runDialog(ctx, window);
}

}  // namespace kv::entry
