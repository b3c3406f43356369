#pragma once
#include <string>
#include <string_view>

#include "fleet/PrinterSlot.h"
#include "fleet/Scan.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// What the run does with one target.
enum class Decision { Flash, SameVersion, Incompatible, NotKv, Unreachable };
std::string_view decisionName(Decision decision);

struct PlanEntry {
    Decision decision = Decision::Unreachable;
    // Why, in a few words (the check's box for an incompatible printer).
    std::string reason;
};

// Decides for one scanned target, by the rules the window applies to one
// printer: compatibility by ValidateFirmwareFile for its board and model
// (its boxes recorded, never shown), the same version by the one rule the
// window's question and the verification use. A printer found but not
// ready is planned: its flash stops at the ready check and says so.
PlanEntry planPrinter(const ScanResult& scan, const PreloadedImage& image, bool flashSameVersion);

}  // namespace kv::fleet
