#pragma once
#include <memory>

#include "main/Options.h"
#include "main/ServiceBundle.h"
#include "main/SimulatedMachine.h"
#include "main/World.h"
#include "platform/HistoryFile.h"

namespace kv::entry {

inline constexpr const char* kDefaultSimulatedId =
    "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

// The simulated printers the options ask for (the default one when they
// name none), attached to the machine's USB bus and parallel ports.
void attachSimulatedPrinters(const Options& options, SimulatedMachine& machine);

// --simulate on either platform: the simulated machine with the default
// print queues and the printers the options ask for, pauses in real time
// unless --fast, beside what `host` wires; the flashes go to `history`,
// the simulated runs' own. A demo never touches the machine's real print
// queues or journal, nor keeps the machine awake.
std::unique_ptr<World> makeSimulatedWorld(const Options& options,
                                          std::unique_ptr<ServiceBundle> host,
                                          std::unique_ptr<platform::HistoryFile> history);

}  // namespace kv::entry
