#pragma once
#include <memory>

#include "main/Options.h"
#include "main/World.h"

namespace kv::entry {

// The machine's own devices, print queues, network and clock, through the
// Windows services.
std::unique_ptr<World> makeWin32RealWorld(const Options& options);

// Simulated printers and print queues with the Windows services for the
// rest (the network stays real); the clock is virtual with --fast.
std::unique_ptr<World> makeWin32SimulatedWorld(const Options& options);

}  // namespace kv::entry
