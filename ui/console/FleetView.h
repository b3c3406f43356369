#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fleet/FleetRun.h"
#include "fleet/FleetSummary.h"
#include "fleet/PrinterSlot.h"
#include "fleet/Scan.h"

namespace kv::ui {

// `fleet ADDRESS PHASE "DETAIL"`: PHASE is the phase entered, or the
// outcome once the printer's part has ended; DETAIL escaped as the event
// lines escape texts and cut to kFleetDetailColumn characters.
inline constexpr size_t kFleetDetailColumn = 160;
std::string fleetEventLine(const fleet::Endpoint& endpoint, const fleet::PhaseEvent& event);

// The terminal's row for a printer: address, model, phase or outcome, the
// KBytes sent of the total or the seconds left of a pause, the detail; each
// escaped and cut to its column.
std::string fleetRow(const fleet::PrinterSnapshot& printer);

// Draws a fleet's slots while it runs, on a thread of its own: workers
// never wait for it, and output that blocks or fails holds only this
// thread. Rows: one row per printer redrawn in place and a summary row (a
// terminal); Lines: one event line per phase change (anything else).
class FleetRenderer {
public:
    enum class Mode { Lines, Rows };
    // Takes a piece of output; it may block or fail, as a terminal may.
    using Sink = std::function<void(const std::string&)>;

    FleetRenderer(const fleet::Fleet& fleet, Mode mode, Sink sink);
    ~FleetRenderer();
    // Draws every intervalMs until stop().
    void start(uint32_t intervalMs = 200);
    // A last drawing, then the thread ends.
    void stop();
    // One drawing of what changed, on the caller's thread.
    void drawOnce();
    // A line of its own, written before the next drawing, so that it never
    // lands inside the rows. Safe from any thread.
    void print(const std::string& line);

private:
    const fleet::Fleet& fleet_;
    const Mode mode_;
    Sink sink_;
    std::vector<size_t> seen_;
    size_t rowsDrawn_ = 0;
    std::vector<std::string> pending_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

// The plan, one line per printer found (with `verbose` per target), the
// count of the addresses that are none, and the count to flash.
std::string formatFleetPlan(const fleet::Fleet& fleet, bool verbose);
// The end: count per outcome, wall time, the rule that stopped the run,
// the printers not started, those that may be left in flash mode with the
// advice, and that nothing is retried by itself.
std::string formatFleetSummary(const fleet::FleetSummary& summary, double wallSeconds);
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

// --scan: the table of printers found, sorted by address, and the counts
// of the rest.
std::string formatScanTable(const std::vector<fleet::ScanResult>& results);
std::string formatScanCounts(const std::vector<fleet::ScanResult>& results);
// One address not found, for --verbose.
std::string scanMissLine(const fleet::ScanResult& result);
std::string scanJsonLine(const fleet::ScanResult& result);

}  // namespace kv::ui
