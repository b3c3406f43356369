#pragma once
#include <memory>
#include <utility>
#include <vector>

#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "main/DemoKey.h"
#include "main/ServiceBundle.h"
#include "platform/Clock.h"
#include "platform/HistoryFile.h"
#include "platform/PrintSpooler.h"
#include "platform/Services.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/MemorySpooler.h"
#include "platform/sim/RecordingSleepInhibitor.h"
#include "platform/sim/VirtualClock.h"

namespace kv::entry {

// The simulated machine that --simulate, the tests and the benchmark run
// on: a USB bus and parallel ports for emulated printers, an in-memory
// spooler, queue journal and flash history, a sleep inhibitor that records,
// and a virtual clock. What the program takes from the machine it really
// runs on (trace, files, lock, administrator check, network, threads) the
// world adds beside it.
class SimulatedMachine : public ServiceBundle {
public:
    struct Setup {
        std::vector<platform::QueueRecord> queues{};
        // Every pause takes its real time (a demo at the printer's pace).
        bool realTime = false;
        // The virtual calendar starts now rather than at its fixed start, so
        // records carry the day they were made.
        bool calendarFromNow = false;
        // Where the flashes are recorded; nothing: `history`, in memory.
        std::unique_ptr<platform::HistoryFile> history{};
    };

    explicit SimulatedMachine(Setup setup)
        : spooler(std::move(setup.queues)), historyFile_(std::move(setup.history)) {
        if (setup.calendarFromNow) clock.setWallStartMs(realClock_.wallMs());
        if (setup.realTime) wiredClock_ = &realClock_;
    }
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;

    // The clock, devices, spooler, journal, history and sleep inhibitor.
    void wireInto(platform::Services& sys) override {
        sys.wired.clock = wiredClock_;
        sys.wired.deviceIo = &io;
        sys.wired.enumerator = &enumerator;
        sys.wired.spooler = &spooler;
        sys.wired.queueJournal = &journal;
        sys.wired.history = historyFile_ ? historyFile_.get() : &history;
        sys.wired.sleepInhibitor = &inhibitor;
        sys.wired.fleetTargets = &fleetTargets;
        sys.wired.fleetWindow = &fleetWindow;
        trust_ = simulatedWorldKeys(sys.wired.trustedKeys);
        sys.wired.trustedKeys = &trust_;
    }
    // The clock of the program and its printers.
    platform::Clock& wiredClock() const { return *wiredClock_; }

    // The time of the program and its printers, unless Setup::realTime.
    platform::sim::VirtualClock clock;
    emulator::SimDeviceIo io;
    emulator::SimDeviceEnumerator enumerator{&io};
    platform::sim::MemorySpooler spooler;
    platform::sim::MemoryFile journal;
    platform::sim::MemoryFile fleetTargets{"memory:fleet-targets"};
    platform::sim::MemoryFile fleetWindow{"memory:fleet-window"};
    platform::sim::MemoryHistory history;
    platform::sim::RecordingSleepInhibitor inhibitor;

private:
    platform::RealClock realClock_;
    platform::Clock* wiredClock_ = &clock;
    std::unique_ptr<platform::HistoryFile> historyFile_;
    // The host's keys and the demo key.
    platform::TrustedKeys trust_;
};

}  // namespace kv::entry
