#pragma once
#include "app/ShellState.h"
#include "flash/FlashState.h"
#include "printer/PrinterState.h"

namespace kv {

// The application-wide state, grouped by the folder that owns each part.
// One instance per run (and per test); nothing here is global.
struct AppState : ShellState, PrinterState, FlashState {
};

}  // namespace kv
