#include "flash/FlashWorker.h"

#include "platform/Threads.h"

namespace kv {

bool startFlashWorker(Context& ctx, FlashWorkerProcedure procedure) {
    FlashJob* job = &ctx.state.flashJob;
    job->state = &ctx.state;
    job->sys = &ctx.sys;
    platform::ThreadOptions options;
    options.stackBytes = kWorkerStackBytes;
    options.aboveNormalPriority = true;
    return ctx.sys.threads().startDetached([procedure, job] { procedure(job); }, options);
}

void endFlashWorker(AppState& state) {
    // One step under the signal's lock: a waiter that sees the flag clear
    // may tear the state down at once.
    state.workerSignal.notifyEnded(state.flashInProgress);
}

}  // namespace kv
