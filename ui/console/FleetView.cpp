#include "ui/console/FleetView.h"

#include <algorithm>
#include <chrono>

#include "flash/FlashHistory.h"
#include "platform/Format.h"
#include "ui/console/ConsoleText.h"

namespace kv::ui {

using fleet::Outcome;
using fleet::Phase;
using fleet::PrinterSnapshot;

namespace {

// Escaped, then cut to `width` characters without splitting an escape.
std::string cell(std::string_view text, size_t width) {
    std::string out;
    for (char c : text) {
        const std::string piece = escapeConsoleText(std::string_view(&c, 1));
        if (out.size() + piece.size() > width) break;
        out += piece;
    }
    return out;
}

std::string padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string stateOf(const PrinterSnapshot& p) {
    if (p.phase == Phase::Done && p.outcome) return std::string(fleet::outcomeName(*p.outcome));
    return std::string(fleet::phaseName(p.phase));
}

std::string progressOf(const PrinterSnapshot& p) {
    switch (p.phase) {
        case Phase::Sending:
            return std::to_string(p.progress.done / 1024) + "/" +
                   std::to_string(p.progress.total / 1024) + " KB";
        case Phase::StartDelay:
        case Phase::ResetWait:
            return std::to_string(p.progress.total > p.progress.done
                                      ? p.progress.total - p.progress.done
                                      : 0) +
                   " s left";
        default: return "";
    }
}

std::string summaryRow(const std::vector<PrinterSnapshot>& printers) {
    size_t done = 0, skipped = 0, waiting = 0;
    for (const PrinterSnapshot& p : printers) {
        if (p.phase == Phase::Done && p.outcome && fleet::isSkip(*p.outcome)) {
            ++skipped;
        } else if (p.phase == Phase::Done) {
            ++done;
        }
        if (p.phase == Phase::Waiting) ++waiting;
    }
    return platform::formatted("%zu printers: %zu done, %zu running, %zu waiting, %zu skipped",
                               printers.size(), done, printers.size() - done - waiting - skipped,
                               waiting, skipped);
}

std::string addressOf(const fleet::Endpoint& e) { return e.text(); }

}  // namespace

std::string fleetEventLine(const fleet::Endpoint& endpoint, const fleet::PhaseEvent& event) {
    const std::string phase = event.phase == Phase::Done && event.outcome
                                  ? std::string(fleet::outcomeName(*event.outcome))
                                  : std::string(fleet::phaseName(event.phase));
    std::string detail = event.detail.substr(0, kFleetDetailColumn);
    return "fleet " + addressOf(endpoint) + " " + phase + " " + quotedConsoleText(detail);
}

std::string fleetRow(const PrinterSnapshot& p) {
    return padded(cell(addressOf(p.endpoint), 21), 22) + padded(cell(p.model, 12), 13) +
           padded(stateOf(p), 15) + padded(progressOf(p), 17) + cell(p.detail, 40);
}

FleetRenderer::FleetRenderer(const fleet::Fleet& fleet, Mode mode, Sink sink)
    : fleet_(fleet), mode_(mode), sink_(std::move(sink)), seen_(fleet.size(), 0) {}

FleetRenderer::~FleetRenderer() { stop(); }

void FleetRenderer::start(uint32_t intervalMs) {
    thread_ = std::thread([this, intervalMs] {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            drawOnce();
            lock.lock();
            wake_.wait_for(lock, std::chrono::milliseconds(intervalMs),
                           [this] { return stopping_ || !pending_.empty(); });
        }
        lock.unlock();
        drawOnce();
    });
}

void FleetRenderer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FleetRenderer::print(const std::string& line) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(line);
    }
    wake_.notify_all();
}

void FleetRenderer::drawOnce() {
    std::string out;
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(pending_);
    }
    if (mode_ == Mode::Rows && rowsDrawn_ > 0 && !lines.empty()) {
        // The rows give way to the lines and are drawn again below them.
        out += "\x1b[" + std::to_string(rowsDrawn_) + "A\r\x1b[J";
        rowsDrawn_ = 0;
    }
    for (const std::string& line : lines) out += line + "\n";
    if (mode_ == Mode::Lines) {
        for (size_t i = 0; i < fleet_.size(); ++i) {
            const fleet::PrinterSlot& slot = fleet_.slot(i);
            for (const fleet::PhaseEvent& e : slot.eventsSince(seen_[i])) {
                out += fleetEventLine(slot.snapshot().endpoint, e) + "\n";
            }
        }
    } else {
        std::vector<PrinterSnapshot> printers;
        for (size_t i = 0; i < fleet_.size(); ++i) printers.push_back(fleet_.slot(i).snapshot());
        // Back to the first row, each row cleared as it is drawn again.
        if (rowsDrawn_ > 0) out += "\x1b[" + std::to_string(rowsDrawn_) + "A";
        for (const PrinterSnapshot& p : printers) out += "\r\x1b[2K" + fleetRow(p) + "\n";
        out += "\r\x1b[2K" + summaryRow(printers) + "\n";
        rowsDrawn_ = printers.size() + 1;
    }
    if (!out.empty()) sink_(out);
}

std::string formatFleetPlan(const fleet::Fleet& fleet, bool verbose) {
    std::string out =
        padded("ADDRESS", 22) + padded("MODEL", 13) + padded("FIRMWARE", 13) + "PLAN\n";
    for (size_t i = 0; i < fleet.size(); ++i) {
        const fleet::ScanResult& scan = fleet.scans()[i];
        const fleet::PlanEntry& entry = fleet.planned()[i];
        // A subnet's empty addresses are counted below, not listed.
        if (!verbose && scan.reach != fleet::Reach::Found) continue;
        std::string line = padded(cell(addressOf(scan.endpoint), 21), 22) +
                           padded(cell(scan.model, 12), 13) +
                           padded(cell(scan.reportedVersion.value_or(""), 12), 13) +
                           std::string(fleet::decisionName(entry.decision));
        if (!entry.reason.empty()) line += " (" + cell(entry.reason, 60) + ")";
        out += line + "\n";
    }
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

std::string mayBeInFlashModeText(const std::vector<fleet::Endpoint>& printers) {
    std::string out = "May be left in flash mode:";
    for (const auto& e : printers) out += " " + addressOf(e);
    return out +
           "\n  Power-cycle each of them, then run the same command again: printers\n"
           "  already verified are skipped.\n";
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

std::string formatScanTable(const std::vector<fleet::ScanResult>& results) {
    std::string out = padded("ADDRESS", 22) + padded("MODEL", 13) + padded("FIRMWARE", 13) +
                      padded("LOGIC BOARD", 21) + padded("LANGUAGE", 17) + "STATE\n";
    for (const fleet::ScanResult* r : foundByAddress(results)) {
        out += padded(cell(addressOf(r->endpoint), 21), 22) + padded(cell(r->model, 12), 13) +
               padded(cell(r->firmware, 12), 13) + padded(cell(r->logicBoard, 20), 21) +
               padded(cell(r->language, 16), 17) + r->status + "\n";
    }
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
