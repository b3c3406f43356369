#pragma once
#include <memory>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "main/SimulatedMachine.h"
#include "platform/Services.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/FaultNetwork.h"
#include "platform/sim/RecordingDialogControls.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/sim/SimAdmin.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimInstanceLock.h"
#include "platform/sim/SimThreads.h"
#include "state/Context.h"
#include "tests/support/HostPlatform.h"

namespace kv::testing {

// The simulated machine for a test, every service wired: its virtual
// clock, simulated local printers, in-memory spooler, journal and flash
// history and a sleep inhibitor that records; beside it a captured trace,
// scripted boxes, recorded controls, workers on plain threads, the host's
// network (loopback peers) behind a switch for its failures, and the
// host's files to read (those the test wrote) and write. The instance lock and the
// executable's files are the simulated machine's own unless a test asks for
// the host's.
struct SimWorld : entry::SimulatedMachine {
    explicit SimWorld(std::vector<platform::QueueRecord> queues = {})
        : SimulatedMachine(Setup{.queues = std::move(queues)}) {
        wireInto(sys);
        sys.wired.trace = &trace;
        sys.wired.files = &simFiles;
        sys.wired.fileReader = hostFileReader.get();
        sys.wired.fileWriter = hostFileWriter.get();
        sys.wired.instanceLock = &simLock;
        sys.wired.admin = &admin;
        sys.wired.network = &network;
        sys.wired.threads = &threads;
        wireFrontEnd(ctx, ui, controls);
    }
    // A worker may still be in its last step (the end counted under the
    // signal's lock) after its flag read false: the state goes only once it
    // has let go, as the program's own end waits.
    ~SimWorld() { state.workerSignal.waitWhileRunning(state.flashInProgress); }
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

    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::sim::RecordingDialogControls controls;
    platform::sim::SimAdmin admin;
    platform::sim::SimThreads threads;
    platform::sim::SimFiles simFiles;
    platform::sim::SimInstanceLock simLock;
    std::unique_ptr<platform::Network> hostNetwork = makeHostNetwork();
    platform::sim::FaultNetwork network{*hostNetwork};
    std::unique_ptr<platform::FileReader> hostFileReader = makeHostFileReader();
    std::unique_ptr<platform::FileWriter> hostFileWriter = makeHostFileWriter();
    std::unique_ptr<platform::InstanceLock> hostLock;
    std::unique_ptr<platform::Files> hostFiles;
    platform::Services sys;
    AppState state;
    Context ctx{state, sys};
};

}  // namespace kv::testing
