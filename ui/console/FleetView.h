#pragma once
#include <string>
#include <vector>

#include "fleet/FleetRun.h"
#include "fleet/FleetSummary.h"
#include "fleet/PrinterSlot.h"
#include "fleet/Scan.h"
#include "ui/console/Columns.h"

namespace kv::ui {

// `fleet ADDRESS PHASE "DETAIL"`: PHASE is the phase entered, or the
// outcome once the printer's part has ended; DETAIL escaped as the event
// lines escape texts and cut to kFleetDetailColumn characters.
inline constexpr size_t kFleetDetailColumn = 160;
std::string fleetEventLine(const fleet::Endpoint& endpoint, const fleet::PhaseEvent& event);

// The plan, one line per printer found (with `verbose` per target) fitted
// to `width` (the reason gives way first, then the model, then the
// firmware), the count of the addresses that are none, and the count to
// flash.
std::string formatFleetPlan(const fleet::Fleet& fleet, bool verbose, size_t width = kAnyWidth);
// The end: count per outcome, wall time, the rule that stopped the run,
// the printers not started, those that may be left in flash mode with the
// advice, and that nothing is retried by itself.
std::string formatFleetSummary(const fleet::FleetSummary& summary, double wallSeconds);
// Below the summary: one line for each printer that ended badly (FleetRows'
// endedBadly), with its outcome and its whole detail, so that no reason is
// only ever seen cut in its row. Skipped printers are in the summary's
// counts only.
std::string formatFleetReasons(const fleet::FleetSummary& summary);
// The first stop, at once: "Stopping: no new printer starts; 2 in flash
// mode finish (a second stop ends at once)".
std::string stoppingLine(const fleet::StopCause& cause, size_t inFlashMode);
// A scan cut short: its stop line and the addresses it never looked at.
std::string scanStoppedLine(const fleet::StopCause& cause,
                            const std::vector<fleet::ScanResult>& results);
// The printers that may be left in flash mode, and what to do.
std::string mayBeInFlashModeText(const std::vector<fleet::Endpoint>& printers);
// One JSON object per printer (address, model, firmware before and after,
// outcome, detail, bytes sent, seconds).
// With `signature` shown, signature_key and trusted_comment too.
std::string fleetJsonLine(const fleet::PrinterSnapshot& printer,
                          const platform::SignatureFacts* signature = nullptr);

// --scan: the table of printers found, sorted by address, fitted to
// `width` (the state is cut first, then the language and the logic board
// give way), and the counts of the rest.
std::string formatScanTable(const std::vector<fleet::ScanResult>& results,
                            size_t width = kAnyWidth);
std::string formatScanCounts(const std::vector<fleet::ScanResult>& results);
// One address not found, for --verbose.
std::string scanMissLine(const fleet::ScanResult& result);
std::string scanJsonLine(const fleet::ScanResult& result);

}  // namespace kv::ui
