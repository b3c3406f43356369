#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "fleet/FleetSettings.h"
#include "fleet/PrinterSlot.h"
#include "fleet/Scan.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// What the run does with one target.
enum class Decision { Flash, SameVersion, Incompatible, NotKv, Unreachable, NotReady };
// "flash", "skip: same version", ...
std::string_view decisionName(Decision decision);
// How a printer the plan skips ends; nothing for Flash.
std::optional<Outcome> skipOutcome(Decision decision);

struct PlanEntry {
    Decision decision = Decision::Unreachable;
    // Why, in a few words (the check's box for an incompatible printer).
    std::string reason;
};

// Decides for one scanned target, by the rules the window applies to one
// printer: compatibility by ValidateFirmwareFile for its board and model
// (its boxes recorded, never shown), the same version by the one rule the
// window's question and the verification use, and readiness: a printer
// not ready is skipped with its state.
PlanEntry planPrinter(const ScanResult& scan, const PreloadedImage& image,
                      const FleetSettings& settings);

// " - Busy (status 00 A0)": what the ready check's status bytes say.
std::string notReadyState(const ScanResult& scan);

// What differs between the scan of a printer and the run's own
// identification of it, in a few words; nothing when they agree.
std::optional<std::string> changeSinceScan(const ScanResult& scanned, const ScanResult& now);

}  // namespace kv::fleet
