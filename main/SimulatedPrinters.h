#pragma once
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "main/Options.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemorySpooler.h"
#include "platform/sim/RecordingSleepInhibitor.h"
#include "platform/sim/VirtualClock.h"

namespace kv::entry {

inline constexpr const char* kDefaultSimulatedId =
    "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

// The simulated printers the options ask for (the default one when they
// name none), attached to the simulated USB bus and parallel ports, their
// time on `clock`.
void attachSimulatedPrinters(const Options& options, emulator::SimDeviceIo& devices,
                             emulator::SimDeviceEnumerator& enumerator, platform::Clock* clock);

// What --simulate puts in place of the machine's own printers, print queues
// and journal, on either platform; the clock is virtual with --fast.
class SimulatedMachine {
public:
    explicit SimulatedMachine(const Options& options);
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;
    // A demo never touches the machine's real print queues or journal, nor
    // keeps the machine awake; the world wires the history.
    void wireInto(platform::Services& sys);

private:
    platform::RealClock realClock_;
    platform::sim::VirtualClock virtualClock_;
    platform::Clock* clock_;
    emulator::SimDeviceIo devices_;
    emulator::SimDeviceEnumerator enumerator_{&devices_};
    platform::sim::MemorySpooler spooler_;
    platform::sim::MemoryFile journal_;
    platform::sim::RecordingSleepInhibitor inhibitor_;
};

}  // namespace kv::entry
