#pragma once
#include "app/FrontEnd.h"
#include "state/Context.h"

namespace kv::entry {

// The start-up of every front end on every platform, in its order: the
// front end wired (every service then checked), the start-up checks, the
// print queues an earlier run left switched put back, the word on a flash
// an earlier run left unfinished, the dialog in the front end, and the
// wait for a flash still running. The exit code.
int runDialog(Context& ctx, FrontEnd& frontEnd);

// Waits until a running worker (and its re-probe) has ended; the worker's
// own steps are all bounded.
void waitForFlashEnd(AppState& state);

}  // namespace kv::entry
