#pragma once
#include <memory>
#include <string>
#include <vector>

#include "main/Options.h"
#include "platform/Services.h"

namespace kv::entry {

// Everything the program talks to, real or simulated, owned in one place.
// The front end adds its own Ui and DialogControls to `sys`.
class World {
public:
    virtual ~World() = default;
    platform::Services sys;
    bool simulated = false;
};

// The machine's own devices, print queues, network and clock.
std::unique_ptr<World> makeRealWorld(const Options& options, const std::string& argv0);

// Simulated printers and print queues; the network stays real (so a
// kvprinter-emu on this machine can be reached), and the clock is virtual
// with --fast.
std::unique_ptr<World> makeSimulatedWorld(const Options& options, const std::string& argv0);

}  // namespace kv::entry
