#pragma once
#include "state/ShellState.h"
#include "state/FlashState.h"
#include "state/LinkState.h"
#include "state/PrinterState.h"
#include "state/SpoolerState.h"

namespace kv {

// The application-wide state, grouped by the folder that owns each part.
// One instance per run (and per test); nothing here is global.
struct AppState : ShellState, PrinterState, FlashState, LinkState, SpoolerState {};

}  // namespace kv
