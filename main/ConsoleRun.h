#pragma once
#include <string>

#include "main/Options.h"
#include "platform/TerminationSignals.h"
#include "state/Context.h"

namespace kv::entry {

// What the terminal says to a request to end the program that is put off
// while the printer is in flash mode: the box line of the window's Exit
// then. Safe from any thread; waits for nobody.
void refuseEndInFlashMode();

// --identify, --list-queues, --restore-queues or --history, in the
// terminal: their exit code. Only for options that ask for one of them.
// `simulatedHistory`: where --history looks when the world's is empty.
// SIGINT, SIGTERM and SIGHUP (through `signals`) end them at once with 128 +
// the signal number; the journal --restore-queues writes is left whole.
int runMaintenance(platform::Services& sys, const Options& options,
                   platform::TerminationSignals& signals, platform::HistoryFile* simulatedHistory);

// The dialog in the terminal front end (through runDialog): the commands
// in order, or, with none, a simulated world and `demoWhenIdle`, the demo's
// find, select `demoImage`, flash.
int runConsole(Context& ctx, const Options& options, bool demoWhenIdle,
               const std::string& demoImage);

}  // namespace kv::entry
