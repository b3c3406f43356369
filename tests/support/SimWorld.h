#pragma once
#include <memory>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "platform/Services.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/FaultNetwork.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/MemorySpooler.h"
#include "platform/sim/RecordingDialogControls.h"
#include "platform/sim/RecordingSleepInhibitor.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/sim/SimAdmin.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/VirtualClock.h"
#include "state/Context.h"
#include "tests/support/HostPlatform.h"

namespace kv::testing {

// A machine for a test, every service wired: a virtual clock, captured
// trace, scripted boxes, recorded controls, simulated local printers, an
// in-memory spooler, journal and flash history, a sleep inhibitor that
// records, workers on plain threads; the network is the host's (loopback
// peers), behind a switch for its failures, and files are read from the
// host (those the test wrote). The
// instance lock and the executable's files, which touch the machine, are
// wired only when a test asks for them.
struct SimWorld {
    explicit SimWorld(std::vector<platform::QueueRecord> queues = {})
        : spooler(std::move(queues)) {
        sys.wired.clock = &clock;
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.controls = &controls;
        sys.wired.admin = &admin;
        sys.wired.deviceIo = &io;
        sys.wired.enumerator = &enumerator;
        sys.wired.spooler = &spooler;
        sys.wired.queueJournal = &journal;
        sys.wired.network = &network;
        sys.wired.threads = &threads;
        sys.wired.fileReader = hostFileReader.get();
        sys.wired.history = &history;
        sys.wired.sleepInhibitor = &inhibitor;
    }
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    // The host's instance lock, kept in `folder`.
    platform::InstanceLock& useHostInstanceLock(const std::string& folder) {
        hostLock = makeHostInstanceLock(folder);
        sys.wired.instanceLock = hostLock.get();
        return *hostLock;
    }
    // The host's view of an executable started as `argv0`.
    platform::Files& useHostFiles(const std::string& argv0) {
        hostFiles = makeHostFiles(argv0);
        sys.wired.files = hostFiles.get();
        return *hostFiles;
    }

    // An emulated printer on this world's clock.
    std::shared_ptr<emulator::PrinterModel> model(emulator::PrinterConfig config) {
        return std::make_shared<emulator::PrinterModel>(std::move(config), &clock);
    }

    platform::sim::VirtualClock clock;
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::sim::RecordingDialogControls controls;
    platform::sim::SimAdmin admin;
    emulator::SimDeviceIo io;
    emulator::SimDeviceEnumerator enumerator{&io};
    platform::sim::MemorySpooler spooler;
    platform::sim::MemoryFile journal;
    platform::sim::SimThreads threads;
    platform::sim::MemoryHistory history;
    platform::sim::RecordingSleepInhibitor inhibitor;
    std::unique_ptr<platform::Network> hostNetwork = makeHostNetwork();
    platform::sim::FaultNetwork network{*hostNetwork};
    std::unique_ptr<platform::FileReader> hostFileReader = makeHostFileReader();
    std::unique_ptr<platform::InstanceLock> hostLock;
    std::unique_ptr<platform::Files> hostFiles;
    platform::Services sys;
    AppState state;
    Context ctx{state, sys};
};

}  // namespace kv::testing
