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
    return platform::require(ctx.sys.threads, "threads")
        .startDetached([procedure, job] { procedure(job); }, options);
}

void endFlashWorker(AppState& state) {
    state.flashInProgress.store(false);
    state.workerSignal.notifyEnded();
}

}  // namespace kv
