#pragma once
#include <string>
#include <vector>

#include "fleet/PrinterSlot.h"
#include "platform/Files.h"

namespace kv::ui {

// Fewer columns than this, or fewer lines: the view writes event lines.
inline constexpr size_t kLeastRowColumns = 60;
inline constexpr size_t kLeastRowLines = 4;

// Failed, mismatched, not back, not started, not ready, or maybe left in
// flash mode: what the technician must look at. Skips are not.
bool endedBadly(const fleet::PrinterSnapshot& printer);

// The terminal's row for a printer: address, model, phase or outcome, the
// KBytes sent of the total or the seconds left of a pause, the detail; each
// escaped and cut to its column (no column cut without a width).
std::string fleetRow(const fleet::PrinterSnapshot& printer);

// What the view draws on a terminal of `size`: one row per printer, a line
// counting the printers not shown, and the count of all; one line each,
// none of them wider than the terminal less one column, and at most its
// lines less one (the cursor's line below them). When the printers do not
// fit, those failing first, then those running, then those not started or
// not ready are shown, in target order; the rest are counted.
std::vector<std::string> fleetRowBlock(const std::vector<fleet::PrinterSnapshot>& printers,
                                       const platform::TerminalSize& size);

}  // namespace kv::ui
