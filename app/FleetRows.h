#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/Plan.h"
#include "fleet/PrinterSlot.h"
#include "fleet/Scan.h"
#include "platform/DialogControls.h"
#include "state/PreloadedImage.h"

namespace kv {

// One printer's row in the network printers' window. Every text is shown
// as plain text: device data never becomes markup.
struct FleetRow {
    fleet::Endpoint endpoint;
    std::string address;
    std::string model;
    std::string firmware;
    std::string logicBoard;
    std::string language;
    std::string state;
    bool checked = false;
    // The image suits it (the plan would flash it): only then it may be
    // checked.
    bool suits = false;
    // "yes", or the plan's reason why not; empty without an image.
    std::string suitsText;
    // The bar: KBytes sent of the total, then the seconds of a pause left;
    // no bar while progressMaximum is 0.
    uint64_t progressValue = 0;
    uint64_t progressMaximum = 0;
    std::string progressText;
    // The phase under way, or how the printer's part ended.
    std::string phase;
    // A flashed printer's verdict, for its colour; nothing for the rest.
    std::optional<platform::VerifyOutcome> verdict;
    // The latest status line, box or verdict detail: the row's tooltip.
    std::string detail;
};

// The columns of the printers' table, in order.
enum class FleetColumn {
    Address,
    Model,
    Firmware,
    LogicBoard,
    Language,
    State,
    Image,
    Progress,
    Phase,
};
inline constexpr int kFleetColumnCount = 9;
const char* fleetColumnTitle(FleetColumn column);
// A row's text in a column (the progress as its text).
const std::string& fleetCell(const FleetRow& row, FleetColumn column);

// A row as the scan found the printer; what the image is to it, by the
// plan's rule, when there is an image.
FleetRow scannedRow(const fleet::ScanResult& scan, const PreloadedImage* image,
                    const fleet::FleetSettings& settings);
// The run's part of a row: progress, phase, verdict and detail from the
// printer's snapshot.
void showRun(FleetRow& row, const fleet::PrinterSnapshot& printer);

// The verdict of a flashed printer, whose colour the main window uses too;
// nothing for a printer that was not flashed.
std::optional<platform::VerifyOutcome> verdictOf(fleet::Outcome outcome);

// "Flash 3 printers with FMVQ_V5.20.bin (V5.20)? 2 are skipped: ADDRESS
// (reason), ..." (a bounded list).
std::string flashQuestion(const std::vector<FleetRow>& rows, const platform::ImageFacts& image);

// "2 addresses refused, 1 silent, 0 no-reply, 0 not-kv".
std::string unreachableLine(const std::vector<fleet::ScanResult>& misses);

// What a running printer still has to wait out, from its phase, by the
// printer's fixed pauses (the data's own time is not counted).
uint64_t pausesLeftMs(const fleet::PrinterSnapshot& printer);
// Counts per outcome, the time elapsed and the time left: the running
// printers' pauses left, and every `parallel` waiting printers one whole
// flash's pauses more.
std::string fleetSummaryLine(const std::vector<fleet::PrinterSnapshot>& printers,
                             uint64_t elapsedMs, size_t parallel);

}  // namespace kv
