#pragma once
#include "app/ShellState.h"
#include "flash/FlashState.h"
#include "link/LinkState.h"
#include "printer/PrinterState.h"
#include "spooler/SpoolerState.h"

namespace kv {

// The application-wide state, grouped by the folder that owns each part.
// One instance per run (and per test); nothing here is global.
struct AppState : ShellState, PrinterState, FlashState, LinkState, SpoolerState {
};

}  // namespace kv
