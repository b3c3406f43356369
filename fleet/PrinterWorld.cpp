#include "fleet/PrinterWorld.h"

#include <algorithm>
#include <chrono>

#include "printer/discovery/EthernetDiscovery.h"

namespace kv::fleet {

SharedServices sharedServicesOf(platform::Services& sys) {
    SharedServices shared;
    shared.network = &sys.network();
    shared.trace = &sys.trace();
    shared.history = &sys.history();
    shared.threads = &sys.threads();
    shared.fileReader = &sys.fileReader();
    platform::Clock& clock = sys.clock();
    shared.clockFor = [&clock](size_t) -> platform::Clock& { return clock; };
    return shared;
}

PrinterWorld::PrinterWorld(const SharedServices& shared, size_t index, PrinterSlot& slot,
                           const platform::NetworkBounds& bounds, bool flashSameVersion,
                           std::function<bool()> admit, std::function<bool()> stopped)
    : controls(slot),
      steps(slot, std::move(admit), std::move(stopped)),
      ui(slot, flashSameVersion),
      trace(*shared.trace, slot.snapshot().endpoint.text() + ": "),
      network(*shared.network, bounds),
      endpoint(slot.snapshot().endpoint),
      clock(shared.clockFor(index)) {
    state.flashSteps = &steps;
    sys.wired.clock = &clock;
    sys.wired.trace = &trace;
    // Every box through the flash record's tap, as a front end's.
    state.flashAttempt.boxTap.showThrough(ui);
    sys.wired.ui = &state.flashAttempt.boxTap;
    sys.wired.controls = &controls;
    sys.wired.network = &network;
    sys.wired.threads = shared.threads;
    sys.wired.history = shared.history;
    sys.wired.sleepInhibitor = shared.sleepInhibitor;
    sys.wired.fileReader = shared.fileReader;
    sys.wired.deviceIo = &local;
    sys.wired.enumerator = &local;
    sys.wired.spooler = &local;

    const uint32_t a = endpoint.address;
    state.ipAddressText = {std::to_string(a >> 24), std::to_string((a >> 16) & 0xFF),
                           std::to_string((a >> 8) & 0xFF), std::to_string(a & 0xFF)};
    state.portNumberText = std::to_string(endpoint.port);
}

PrinterWorld::~PrinterWorld() {
    waitForWorker();
    trace.copyTo(nullptr);
}

void PrinterWorld::keepLog(const std::string& folder) {
    std::string stem = endpoint.text();
    std::replace(stem.begin(), stem.end(), ':', '_');
    log_ = std::make_unique<PrinterLog>(folder, stem);
    if (!log_->open()) {
        trace.write("Fleet log - not kept: " + log_->error());
        log_.reset();
        return;
    }
    trace.copyTo(log_.get());
}

bool PrinterWorld::find() { return findEthernetPrinter(ctx, controls, state.printerData); }

void PrinterWorld::waitForWorker() {
    // Every step of the worker has a bound of its own; this waits them out.
    while (!state.workerSignal.waitWhileRunning(state.flashInProgress, std::chrono::seconds(60))) {
    }
}

}  // namespace kv::fleet
