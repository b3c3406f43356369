#pragma once
#include <memory>
#include <string>

#include "main/Options.h"
#include "main/ServiceBundle.h"
#include "platform/HistoryFile.h"
#include "platform/Services.h"

namespace kv::entry {

// Everything the program talks to, real or simulated, owned in one place:
// what it takes from the machine it runs on (`host`) and the printers,
// queues and clock it works with (`machine`), wired into `sys` in that
// order. Together they wire every service but the front end's ui and
// controls, which the front end adds; a world that misses one ends the
// start with its name.
class World {
public:
    World(std::unique_ptr<ServiceBundle> host, std::unique_ptr<ServiceBundle> machine,
          std::unique_ptr<platform::HistoryFile> simulatedHistory = nullptr)
        : host_(std::move(host)),
          machine_(std::move(machine)),
          simulatedHistory_(std::move(simulatedHistory)) {
        host_->wireInto(sys);
        machine_->wireInto(sys);
        sys.requireWired(platform::Services::Stage::WorldBuilt);
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    platform::Services sys;

    // A real world's view of the simulated runs' history, where a demo's
    // flashes go: --history points there when its own is empty. None in a
    // simulated world.
    platform::HistoryFile* simulatedHistory() const { return simulatedHistory_.get(); }

private:
    std::unique_ptr<ServiceBundle> host_;
    std::unique_ptr<ServiceBundle> machine_;
    std::unique_ptr<platform::HistoryFile> simulatedHistory_;
};

// The machine's own devices, print queues, network and clock.
std::unique_ptr<World> makeRealWorld(const Options& options, const std::string& argv0);

// Simulated printers and print queues; the network stays real (so a
// kvprinter-emu on this machine can be reached), and the clock is virtual
// with --fast.
std::unique_ptr<World> makeSimulatedWorld(const Options& options, const std::string& argv0);

}  // namespace kv::entry
