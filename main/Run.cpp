#include "main/Run.h"

#include <string>
#include <vector>

#include "main/ConsoleRun.h"
#include "main/DemoImage.h"
#include "main/Options.h"
#include "main/Program.h"
#include "main/World.h"
#include "platform/linux/SigwaitTermination.h"
#ifdef KVFLASH_HAVE_QT
#include "main/RunDialog.h"
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

}  // namespace

int runKvflash(int argc, char** argv) {
    const ParseResult parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto code = answerInTerminal(parsed)) return *code;
    const Options& options = parsed.options;

    // Before any other thread exists, so every thread leaves SIGINT, SIGTERM
    // and SIGHUP to its watcher.
    platform::linux_impl::SigwaitTermination termination;
    const std::string argv0 = argc > 0 ? argv[0] : "";
    std::unique_ptr<World> world =
        options.simulate ? makeSimulatedWorld(options, argv0) : makeRealWorld(options, argv0);
    const bool window = !options.console && desktopAvailable();
    // Both let a flash under way finish on the first signal, as the window's
    // Exit does; the terminal says so, the window only traces it (no box
    // from the signal's thread).
    return runInWorld(
        *world, options, termination, window ? nullptr : refuseEndInFlashMode, [&](Context& ctx) {
#ifdef KVFLASH_HAVE_QT
            if (window) {
                ui::QtFrontEnd frontEnd(argc, argv);
                return runDialog(ctx, frontEnd);
            }
#endif
            // Without a display, or asked for: the terminal, which runs the
            // demo when given no command.
            return runConsole(
                ctx, options, !options.console,
                demoImagePath(ctx.sys.files().executablePath(), KVFLASH_DEMO_IMAGE_FROM_BIN,
                              KVFLASH_DEMO_IMAGE_FROM_BUILD_BIN));
        });
}

}  // namespace kv::entry
