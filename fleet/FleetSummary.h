#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "fleet/FleetRun.h"
#include "fleet/PrinterSlot.h"

namespace kv::fleet {

// The end of a run, as every front end tells it.
struct FleetSummary {
    std::vector<PrinterSnapshot> printers;  // in target order
    std::map<Outcome, size_t> counts;
    StopCause stop;
    // Planned, never started.
    std::vector<Endpoint> untouched;
    // Entered flash mode and did not come back working: power-cycle them
    // and run the same command again.
    std::vector<Endpoint> mayBeInFlashMode;
    // 0 every flashed printer verified (skipped ones do not count), 3 some
    // unchecked and none worse, 1 any failed, mismatched or not found after
    // the flash, a KV printer left not ready or changed since the scan, or
    // no target a KV printer at all; a signal's 128 + N goes before all of
    // them.
    int exitCode = 0;
};

FleetSummary summarize(const Fleet& fleet);

}  // namespace kv::fleet
