#include "app/FleetRows.h"

#include <algorithm>
#include <map>

#include "flash/EthernetFlash.h"
#include "image/FirmwareImage.h"
#include "platform/Format.h"

namespace kv {

using fleet::Outcome;
using fleet::Phase;

namespace {

// The Ethernet flash's fixed pauses: around the flash-mode request, then
// after the data; the start delay and the reset wait come from its rule.
constexpr uint64_t kEntryPausesMs = 500 + 100 + 500 + 1000;
constexpr uint64_t kAfterDataMs = 1000;
constexpr uint64_t kStartDelayMs = kEthernetStartDelaySeconds * 1000ull;
constexpr uint64_t kResetWaitMs = kEthernetResetWaitSeconds * 1000ull;
constexpr uint64_t kWholeFlashMs = kEntryPausesMs + kStartDelayMs + kAfterDataMs + kResetWaitMs;

// The most skipped printers the question names.
constexpr size_t kNamedSkips = 8;

uint64_t secondsLeft(const platform::TransferProgress& p) {
    return p.total > p.done ? p.total - p.done : 0;
}

}  // namespace

const char* fleetColumnTitle(FleetColumn column) {
    switch (column) {
        case FleetColumn::Address: return "Address";
        case FleetColumn::Model: return "Model";
        case FleetColumn::Firmware: return "Firmware";
        case FleetColumn::LogicBoard: return "Logic Board";
        case FleetColumn::Language: return "Language";
        case FleetColumn::State: return "State";
        case FleetColumn::Image: return "Image";
        case FleetColumn::Progress: return "Progress";
        case FleetColumn::Phase: return "Phase";
    }
    return "";
}

const std::string& fleetCell(const FleetRow& row, FleetColumn column) {
    switch (column) {
        case FleetColumn::Address: return row.address;
        case FleetColumn::Model: return row.model;
        case FleetColumn::Firmware: return row.firmware;
        case FleetColumn::LogicBoard: return row.logicBoard;
        case FleetColumn::Language: return row.language;
        case FleetColumn::State: return row.state;
        case FleetColumn::Image: return row.suitsText;
        case FleetColumn::Progress: return row.progressText;
        case FleetColumn::Phase: return row.phase;
    }
    return row.phase;
}

FleetRow scannedRow(const fleet::ScanResult& scan, const PreloadedImage* image,
                    const fleet::FleetSettings& settings) {
    FleetRow row;
    row.endpoint = scan.endpoint;
    row.address = scan.endpoint.text();
    row.model = fleet::boundedText(scan.model);
    row.firmware = fleet::boundedText(scan.firmware);
    row.logicBoard = fleet::boundedText(scan.logicBoard);
    row.language = fleet::boundedText(scan.language);
    row.state = fleet::boundedText(scan.status);
    if (image) {
        const fleet::PlanEntry plan = fleet::planPrinter(scan, *image, settings);
        row.suits = plan.decision == fleet::Decision::Flash;
        row.suitsText = fleet::boundedText(
            row.suits ? (plan.reason.empty() ? "yes" : "yes, " + plan.reason) : plan.reason);
        row.checked = row.suits;
    }
    return row;
}

std::optional<platform::VerifyOutcome> verdictOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Verified: return platform::VerifyOutcome::Verified;
        case Outcome::Mismatch: return platform::VerifyOutcome::Mismatch;
        case Outcome::NotFound: return platform::VerifyOutcome::NotFound;
        case Outcome::Unchecked: return platform::VerifyOutcome::Unchecked;
        case Outcome::Failed: return platform::VerifyOutcome::Failed;
        default: return std::nullopt;
    }
}

void showRun(FleetRow& row, const fleet::PrinterSnapshot& p) {
    row.detail = p.detail;
    row.verdict.reset();
    row.progressValue = row.progressMaximum = 0;
    row.progressText.clear();
    if (p.phase == Phase::Done && p.outcome) {
        row.phase = std::string(fleet::outcomeName(*p.outcome));
        row.verdict = verdictOf(*p.outcome);
        return;
    }
    row.phase = std::string(fleet::phaseName(p.phase));
    switch (p.phase) {
        case Phase::Sending:
            row.progressValue = p.progress.done / 1024;
            row.progressMaximum = std::max<uint64_t>(p.progress.total / 1024, 1);
            row.progressText = platform::formatted(
                "%llu/%llu KB", static_cast<unsigned long long>(row.progressValue),
                static_cast<unsigned long long>(p.progress.total / 1024));
            break;
        case Phase::StartDelay:
        case Phase::ResetWait:
            row.progressValue = p.progress.done;
            row.progressMaximum = std::max<uint64_t>(p.progress.total, 1);
            row.progressText = platform::formatted(
                "%llu s left", static_cast<unsigned long long>(secondsLeft(p.progress)));
            break;
        default: break;
    }
}

std::string flashQuestion(const std::vector<FleetRow>& rows, const platform::ImageFacts& image) {
    size_t chosen = 0;
    std::vector<std::string> skipped;
    for (const FleetRow& r : rows) {
        if (r.checked) {
            ++chosen;
        } else {
            skipped.push_back(r.address + " (" + (r.suits ? "not selected" : r.suitsText) + ")");
        }
    }
    std::string text = platform::formatted("Flash %zu %s with %s (%s)?", chosen,
                                           chosen == 1 ? "printer" : "printers",
                                           image.fileName.c_str(), image.version.c_str());
    if (skipped.empty()) return text;
    text +=
        platform::formatted(" %zu %s skipped:", skipped.size(), skipped.size() == 1 ? "is" : "are");
    for (size_t i = 0; i < skipped.size() && i < kNamedSkips; ++i) {
        text += (i ? ", " : " ") + skipped[i];
    }
    if (skipped.size() > kNamedSkips) {
        text += platform::formatted(" and %zu more", skipped.size() - kNamedSkips);
    }
    return text;
}

std::string unreachableLine(const std::vector<fleet::ScanResult>& misses) {
    return fleet::missCountsText(fleet::countReaches(misses));
}

uint64_t pausesLeftMs(const fleet::PrinterSnapshot& p) {
    switch (p.phase) {
        case Phase::Waiting:
        case Phase::Identifying:
        case Phase::FlashMode: return kWholeFlashMs;
        case Phase::StartDelay: return secondsLeft(p.progress) * 1000 + kAfterDataMs + kResetWaitMs;
        case Phase::Sending: return kAfterDataMs + kResetWaitMs;
        case Phase::ResetWait: return secondsLeft(p.progress) * 1000;
        case Phase::Reidentifying:
        case Phase::Done: return 0;
    }
    return 0;
}

std::string fleetSummaryLine(const std::vector<fleet::PrinterSnapshot>& printers,
                             uint64_t elapsedMs, size_t parallel) {
    std::map<Outcome, size_t> counts;
    size_t running = 0, waiting = 0;
    uint64_t runningLeftMs = 0;
    for (const fleet::PrinterSnapshot& p : printers) {
        if (p.phase == Phase::Done && p.outcome) {
            ++counts[*p.outcome];
        } else if (p.phase == Phase::Waiting) {
            ++waiting;
        } else {
            ++running;
            runningLeftMs = std::max(runningLeftMs, pausesLeftMs(p));
        }
    }
    std::string text = platform::formatted("%zu printers:", printers.size());
    bool first = true;
    const auto add = [&](size_t count, std::string_view what) {
        text += platform::formatted("%s %zu %.*s", first ? "" : ",", count,
                                    static_cast<int>(what.size()), what.data());
        first = false;
    };
    for (const auto& [outcome, count] : counts) add(count, fleet::outcomeName(outcome));
    if (running) add(running, "running");
    if (waiting) add(waiting, "waiting");
    const size_t batches =
        (waiting + std::max<size_t>(parallel, 1) - 1) / std::max<size_t>(parallel, 1);
    const uint64_t leftMs = runningLeftMs + batches * kWholeFlashMs;
    text +=
        platform::formatted("; %llu s elapsed", static_cast<unsigned long long>(elapsedMs / 1000));
    if (leftMs > 0) {
        text += platform::formatted(", about %llu s left",
                                    static_cast<unsigned long long>((leftMs + 999) / 1000));
    }
    return text;
}

}  // namespace kv
