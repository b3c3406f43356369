#include "main/RunDialog.h"

#include <chrono>

#include "app/HistoryCommand.h"
#include "app/MainDialog.h"
#include "app/Startup.h"
#include "spooler/QueueJournal.h"

namespace kv::entry {

int runDialog(Context& ctx, FrontEnd& frontEnd) {
    wireFrontEnd(ctx, frontEnd.ui(), frontEnd.controls());
    if (auto code = runStartupChecks(ctx)) return *code;
    // What could not be put back was shown; the program goes on.
    (void)restoreJournalAtStartup(ctx.sys);
    warnOfInterruptedFlash(ctx);
    frontEnd.offerFleetWindow(ctx);
    MainDialog dialog(ctx, frontEnd.host());
    const int code = frontEnd.run(dialog);
    // The front end goes after this: no worker may still be writing to it.
    waitForFlashEnd(ctx.state);
    return code;
}

// By the flag: an earlier worker's end that nobody took must not count for
// this one.
void waitForFlashEnd(AppState& state) {
    while (!state.workerSignal.waitWhileRunning(state.flashInProgress, std::chrono::seconds(1))) {
    }
}

}  // namespace kv::entry
