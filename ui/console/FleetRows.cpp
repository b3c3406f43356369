#include "ui/console/FleetRows.h"

#include <algorithm>
#include <map>

#include "platform/Format.h"
#include "ui/console/Columns.h"

namespace kv::ui {

using fleet::Outcome;
using fleet::Phase;
using fleet::PrinterSnapshot;

namespace {

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

Cells cellsOf(const PrinterSnapshot& p) {
    return {p.endpoint.text(), p.model, stateOf(p), progressOf(p), p.detail};
}

// Laid out over every printer, shown or not, so that the columns stay put
// while rows come and go. The detail gives way first, then the model, then
// the progress; the address and the state never.
const std::vector<Column> kRowColumns = {{}, {2, 0, 12}, {}, {3}, {1, 10}};

std::vector<Cells> cellsOfAll(const std::vector<PrinterSnapshot>& printers) {
    std::vector<Cells> rows;
    for (const PrinterSnapshot& p : printers) rows.push_back(cellsOf(p));
    return rows;
}

bool running(const PrinterSnapshot& p) {
    return p.phase != Phase::Waiting && p.phase != Phase::Done;
}

// 0 failing, 1 running, 2 not started or not ready, 3 the rest.
int shownFirst(const PrinterSnapshot& p) {
    if (p.mayBeLeftInFlashMode() || (p.outcome && fleet::isFailure(*p.outcome))) return 0;
    if (running(p)) return 1;
    return endedBadly(p) ? 2 : 3;
}

std::string moreLine(const std::vector<PrinterSnapshot>& hidden) {
    std::map<std::string, size_t> counts;
    for (const PrinterSnapshot& p : hidden) ++counts[stateOf(p)];
    std::vector<std::pair<std::string, size_t>> order(counts.begin(), counts.end());
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string line = std::to_string(hidden.size()) + " more:";
    for (size_t i = 0; i < order.size(); ++i) {
        line += (i ? ", " : " ") + std::to_string(order[i].second) + " " + order[i].first;
    }
    return line;
}

std::string countLine(const std::vector<PrinterSnapshot>& printers) {
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

}  // namespace

bool endedBadly(const PrinterSnapshot& p) {
    if (p.mayBeLeftInFlashMode()) return true;
    if (!p.outcome) return false;
    return fleet::isFailure(*p.outcome) || *p.outcome == Outcome::Untouched ||
           *p.outcome == Outcome::NotReady;
}

std::string fleetRow(const PrinterSnapshot& p) {
    return fittedRow(cellsOf(p), fitColumns(kRowColumns, {cellsOf(p)}, kAnyWidth), kAnyWidth);
}

std::vector<std::string> fleetRowBlock(const std::vector<PrinterSnapshot>& printers,
                                       const platform::TerminalSize& size) {
    const size_t width = lineWidthOf(size);
    const std::vector<size_t> widths = fitColumns(kRowColumns, cellsOfAll(printers), width);
    std::vector<bool> shown(printers.size(), true);
    // The rows, the count of all and the cursor's line.
    const size_t lines = std::max<size_t>(size.lines, kLeastRowLines);
    if (printers.size() + 2 > lines) {
        // The count of the rest takes one more line.
        size_t room = lines - 3;
        shown.assign(printers.size(), false);
        for (int rank = 0; rank < 3; ++rank) {
            for (size_t i = 0; i < printers.size() && room > 0; ++i) {
                if (shownFirst(printers[i]) != rank) continue;
                shown[i] = true;
                --room;
            }
        }
    }
    std::vector<std::string> block;
    std::vector<PrinterSnapshot> hidden;
    for (size_t i = 0; i < printers.size(); ++i) {
        if (shown[i]) {
            block.push_back(fittedRow(cellsOf(printers[i]), widths, width));
        } else {
            hidden.push_back(printers[i]);
        }
    }
    if (!hidden.empty()) block.push_back(fittedRow({moreLine(hidden)}, {width}, width));
    block.push_back(fittedRow({countLine(printers)}, {width}, width));
    return block;
}

}  // namespace kv::ui
