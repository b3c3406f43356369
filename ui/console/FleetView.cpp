#include "ui/console/FleetView.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "flash/FlashHistory.h"
#include "platform/Format.h"
#include "ui/console/ConsoleText.h"
#include "ui/console/FleetRows.h"

namespace kv::ui {

using fleet::Outcome;
using fleet::Phase;
using fleet::PrinterSnapshot;

namespace {

std::string addressOf(const fleet::Endpoint& e) { return e.text(); }

}  // namespace

std::string fleetEventLine(const fleet::Endpoint& endpoint, const fleet::PhaseEvent& event) {
    const std::string phase = event.phase == Phase::Done && event.outcome
                                  ? std::string(fleet::outcomeName(*event.outcome))
                                  : std::string(fleet::phaseName(event.phase));
    std::string detail = event.detail.substr(0, kFleetDetailColumn);
    return "fleet " + addressOf(endpoint) + " " + phase + " " + quotedConsoleText(detail);
}

std::string formatFleetPlan(const fleet::Fleet& fleet, bool verbose, size_t width) {
    std::vector<Cells> lines = {{"ADDRESS", "MODEL", "FIRMWARE", "PLAN", ""}};
    for (size_t i = 0; i < fleet.size(); ++i) {
        const fleet::ScanResult& scan = fleet.scans()[i];
        const fleet::PlanEntry& entry = fleet.planned()[i];
        // A subnet's empty addresses are counted below, not listed.
        if (!verbose && scan.reach != fleet::Reach::Found) continue;
        lines.push_back({addressOf(scan.endpoint), scan.model, scan.reportedVersion.value_or(""),
                         std::string(fleet::decisionName(entry.decision)),
                         entry.reason.empty() ? "" : "(" + entry.reason + ")"});
    }
    // The reason gives way first, then the model, then the firmware.
    const std::vector<size_t> widths =
        fitColumns({{0, 0, 21}, {2, 0, 12}, {3, 0, 12}, {}, {1, 10}}, lines, width);
    std::string out;
    for (const Cells& cells : lines) out += fittedRow(cells, widths, width) + "\n";
    const fleet::ReachCounts reached = fleet::countReaches(fleet.scans());
    if (reached.misses() > 0) out += fleet::reachCountsText(reached) + "\n";
    out += "Planned: " + std::to_string(fleet.plannedFlashes()) + " of " +
           std::to_string(reached.found) + " printers to flash\n";
    return out;
}

std::string formatFleetSummary(const fleet::FleetSummary& s, double wallSeconds) {
    std::string out = "Summary:";
    bool first = true;
    for (const auto& [outcome, count] : s.counts) {
        out += (first ? " " : ", ") + std::to_string(count) + " " +
               std::string(fleet::outcomeName(outcome));
        first = false;
    }
    if (first) out += " no printers";
    out += platform::formatted("; wall time %.1f s\n", wallSeconds);
    if (s.stop.rule != fleet::StopRule::None) out += fleet::stopLine(s.stop) + "\n";
    if (!s.untouched.empty()) {
        out += "Not started (left untouched):";
        for (const auto& e : s.untouched) out += " " + addressOf(e);
        out += "\n";
    }
    if (!s.mayBeInFlashMode.empty()) out += mayBeInFlashModeText(s.mayBeInFlashMode);
    out += "Nothing is retried by itself.\n";
    return out;
}

std::string formatFleetReasons(const fleet::FleetSummary& s) {
    std::string out;
    for (const PrinterSnapshot& p : s.printers) {
        if (!endedBadly(p)) continue;
        out += addressOf(p.endpoint) + " " +
               std::string(p.outcome ? fleet::outcomeName(*p.outcome) : "may be in flash mode");
        if (!p.detail.empty()) out += ": " + escapeConsoleText(p.detail);
        out += "\n";
    }
    return out;
}

std::string mayBeInFlashModeText(const std::vector<fleet::Endpoint>& printers) {
    // The advice under the line, indented, in lines that fit 72 columns.
    std::string out = fleet::mayBeInFlashModeLine(printers);
    std::string_view words = fleet::kFlashModeAdvice;
    while (!words.empty()) {
        size_t cut = words.size() <= 70 ? words.size() : words.rfind(' ', 70);
        if (cut == std::string_view::npos || cut == 0) cut = std::min<size_t>(words.size(), 70);
        out += "\n  " + std::string(words.substr(0, cut));
        words.remove_prefix(std::min(words.size(), cut + 1));
    }
    return out + "\n";
}

std::string stoppingLine(const fleet::StopCause& cause, size_t inFlashMode) {
    (void)cause;
    return platform::formatted(
        "Stopping: no new printer starts; %zu in flash mode finish (a second stop ends at once)",
        inFlashMode);
}

std::string scanStoppedLine(const fleet::StopCause& cause,
                            const std::vector<fleet::ScanResult>& results) {
    const size_t left = static_cast<size_t>(std::count_if(
        results.begin(), results.end(), [](const fleet::ScanResult& r) { return !r.scanned; }));
    return fleet::stopLine(cause) +
           platform::formatted(": %zu of %zu %s not scanned\n", left, results.size(),
                               results.size() == 1 ? "address" : "addresses");
}

std::string fleetJsonLine(const PrinterSnapshot& p, const platform::SignatureFacts* signature) {
    std::vector<std::pair<std::string, JsonValue>> fields = {
        {"address", addressOf(p.endpoint)},
        {"model", p.model},
        {"firmware_before", p.firmwareBefore},
        {"firmware_after", p.firmwareAfter},
        {"outcome", std::string(p.outcome ? fleet::outcomeName(*p.outcome) : "")},
        {"detail", p.detail},
        {"bytes_sent", p.bytesSent},
        {"seconds", p.seconds()},
    };
    if (signature && signature->shown) {
        fields.emplace_back("signature_key", signature->good ? signature->keyId : "");
        fields.emplace_back("trusted_comment", signature->trustedComment);
    }
    return jsonLine(fields);
}

namespace {

std::vector<const fleet::ScanResult*> foundByAddress(const std::vector<fleet::ScanResult>& all) {
    std::vector<const fleet::ScanResult*> found;
    for (const auto& r : all) {
        if (r.reach == fleet::Reach::Found) found.push_back(&r);
    }
    std::sort(found.begin(), found.end(), [](const auto* a, const auto* b) {
        return std::pair(a->endpoint.address, a->endpoint.port) <
               std::pair(b->endpoint.address, b->endpoint.port);
    });
    return found;
}

}  // namespace

std::string formatScanTable(const std::vector<fleet::ScanResult>& results, size_t width) {
    std::vector<Cells> lines = {
        {"ADDRESS", "MODEL", "FIRMWARE", "LOGIC BOARD", "LANGUAGE", "STATE"}};
    for (const fleet::ScanResult* r : foundByAddress(results)) {
        lines.push_back(
            {addressOf(r->endpoint), r->model, r->firmware, r->logicBoard, r->language, r->status});
    }
    // The state is cut first, then the language and the logic board go.
    const std::vector<size_t> widths = fitColumns(
        {{0, 0, 21}, {0, 0, 12}, {0, 0, 12}, {3, 0, 20}, {2, 0, 16}, {1, 10}}, lines, width);
    std::string out;
    for (const Cells& cells : lines) out += fittedRow(cells, widths, width) + "\n";
    return out;
}

std::string formatScanCounts(const std::vector<fleet::ScanResult>& results) {
    return fleet::reachCountsText(fleet::countReaches(results)) + "\n";
}

std::string scanMissLine(const fleet::ScanResult& r) {
    return addressOf(r.endpoint) + " " + std::string(fleet::reachName(r.reach)) + "\n";
}

std::string scanJsonLine(const fleet::ScanResult& r) {
    if (r.reach != fleet::Reach::Found) {
        return jsonLine({{"address", addressOf(r.endpoint)},
                         {"found", std::string("no")},
                         {"reason", std::string(fleet::reachName(r.reach))}});
    }
    return jsonLine({
        {"address", addressOf(r.endpoint)},
        {"model", r.model},
        {"firmware", r.reportedVersion.value_or("")},
        {"logic_board", r.logicBoard},
        {"language", r.language},
        {"state", r.status},
    });
}

}  // namespace kv::ui
