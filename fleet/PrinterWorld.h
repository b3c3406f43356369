#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "fleet/PrinterSlot.h"
#include "fleet/Targets.h"
#include "fleet/WorldParts.h"
#include "platform/Clock.h"
#include "platform/FileReader.h"
#include "platform/HistoryFile.h"
#include "platform/Network.h"
#include "platform/Services.h"
#include "platform/SleepInhibitor.h"
#include "platform/Threads.h"
#include "platform/Trace.h"
#include "state/Context.h"

namespace kv::fleet {

// What every printer's world of a run shares; safe for use from many
// threads at once.
struct SharedServices {
    platform::Network* network = nullptr;
    platform::Trace* trace = nullptr;
    platform::HistoryFile* history = nullptr;
    platform::Threads* threads = nullptr;
    platform::FileReader* fileReader = nullptr;
    // The counting wrapper around the machine's inhibitor.
    platform::SleepInhibitor* sleepInhibitor = nullptr;
    // The clock of printer `index` (its place among the targets): the
    // program gives every printer the one real clock; a test may give each
    // its own virtual clock, with its own emulated printer.
    std::function<platform::Clock&(size_t index)> clockFor;
    // --log-dir: each flashed printer's trace and transcript in a file of
    // its own there; empty: none.
    std::string logFolder;
};

// The shared services of a run on this machine: `sys`'s own, every printer
// on its one clock; the sleep inhibitor is the session's counting wrapper,
// which it sets.
SharedServices sharedServicesOf(platform::Services& sys);

// How long a scan waits for a printer: the scan's own, whatever the
// network's bounds are elsewhere.
inline constexpr platform::NetworkBounds kScanBounds{1000, 2000, 2000};

// One printer's world: its own state (printer record, link, flash job,
// flashInProgress) and services, as the window has them for one printer,
// over the shared ones. Its local devices, print queues and USB list refuse
// every call. It enters flash mode only when `admit` says so, just before;
// `stopped` tells whether its run stopped.
class PrinterWorld {
public:
    PrinterWorld(const SharedServices& shared, size_t index, PrinterSlot& slot,
                 const platform::NetworkBounds& bounds, bool flashSameVersion,
                 std::function<bool()> admit, std::function<bool()> stopped);
    PrinterWorld(const PrinterWorld&) = delete;
    PrinterWorld& operator=(const PrinterWorld&) = delete;
    // A flash under way is waited for: its worker uses this world.
    ~PrinterWorld();

    // The Ethernet fields' texts for this printer, then Find Ethernet
    // Printer. True when it was found and ready.
    bool find();
    // Waits for the transfer worker's end, if one runs.
    void waitForWorker();
    // Calls the refusing local services were asked (none is expected).
    uint64_t localCalls() const { return local.calls(); }
    // Its file under --log-dir (flashed printers only); nothing without.
    void keepLog(const std::string& folder);
    PrinterLog* log() { return log_.get(); }

    AppState state;
    platform::Services sys;
    Context ctx{state, sys};
    SlotControls controls;
    SlotSteps steps;
    SlotUi ui;
    PrefixTrace trace;
    BoundedNetwork network;
    RefusingLocalServices local;
    const Endpoint endpoint;
    platform::Clock& clock;

private:
    std::unique_ptr<PrinterLog> log_;
};

}  // namespace kv::fleet
