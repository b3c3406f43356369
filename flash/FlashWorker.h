#pragma once
#include <cstddef>

#include "state/Context.h"
#include "state/FlashJob.h"

namespace kv {

// The worker's stack reservation. The transfer was designed for a 16384-byte
// stack that is only the first committed part of a stack growing to 1 MiB;
// a fixed 16 KiB stack here would overflow (sanitizer builds need far more,
// and get it from the thread service). So: the full 1 MiB.
inline constexpr size_t kWorkerStackBytes = 1024 * 1024;

using FlashWorkerProcedure = void (*)(FlashJob* job);

// Fills in the job's way back to the application (state, services) and
// starts procedure(&ctx.state.flashJob) on a detached thread above normal
// priority. False when no thread could be created.
[[nodiscard]] bool startFlashWorker(Context& ctx, FlashWorkerProcedure procedure);

// The worker's very last step: clears flashInProgress and tells any waiter
// that this worker has ended, in one step under the signal's lock. Nothing of the job or the state may be
// touched after it.
void endFlashWorker(AppState& state);

}  // namespace kv
