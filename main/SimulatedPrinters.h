#pragma once
#include "main/Options.h"
#include "platform/Clock.h"
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"

namespace kv::entry {

inline constexpr const char* kDefaultSimulatedId =
    "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

// The simulated printers the options ask for (the default one when they
// name none), attached to the simulated USB bus and parallel ports, their
// time on `clock`.
void attachSimulatedPrinters(const Options& options, emulator::SimDeviceIo& devices,
                             emulator::SimDeviceEnumerator& enumerator,
                             platform::Clock* clock);

}  // namespace kv::entry
