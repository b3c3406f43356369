#include "app/HistoryTable.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "app/HistoryRows.h"
#include "platform/Ascii.h"

namespace kv {

namespace {

std::string orDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string outcomeName(const FlashRecord& r) {
    return r.outcome ? std::string(platform::verifyOutcomeName(*r.outcome)) : std::string();
}

// "fleet run ID: N printers" above the first record of a run.
std::string fleetHeading(const HistoryContent& history, size_t first) {
    const std::string& fleet = history.entries[first].record.fleet;
    size_t count = 0;
    for (size_t i = first; i < history.entries.size() && history.entries[i].record.fleet == fleet;
         ++i) {
        ++count;
    }
    return "fleet run " + historyCellText(fleet) + ": " + std::to_string(count) + " printer" +
           (count == 1 ? "" : "s") + "\n";
}

// The latest fleet run's flashes that never ended, at most kListed named.
std::string fleetInterruptedNotice(const HistoryContent& history) {
    constexpr size_t kListed = 20;
    const std::string& fleet = history.entries.back().record.fleet;
    std::vector<const FlashRecord*> cut;
    for (const HistoryEntry& e : history.entries) {
        if (e.record.fleet == fleet && !e.ended) cut.push_back(&e.record);
    }
    if (cut.empty()) return {};
    std::string text = "The last fleet run (" + historyCellText(fleet) + ") did not finish " +
                       std::to_string(cut.size()) + " flash" + (cut.size() == 1 ? "" : "es") +
                       ":\r\n";
    for (size_t i = 0; i < cut.size() && i < kListed; ++i) {
        text += orDash(cut[i]->model) + " on " + linkAndPlace(*cut[i]) + ", started " +
                isoUtc(cut[i]->startMs) + "\r\n";
    }
    if (cut.size() > kListed) {
        text += "and " + std::to_string(cut.size() - kListed) + " more (kvflash --history)\r\n";
    }
    return text +
           "These printers may still be in flash mode.\r\n\n"
           "1 - Power-cycle each of them.\r\n"
           "2 - Run the same kvflash --fleet command again: the printers already verified "
           "are skipped.";
}

}  // namespace

std::string historyTable(const HistoryContent& history) {
    if (history.entries.empty()) return {};
    // The window's columns but the fleet run (a heading line here), with
    // the detail after the outcome; the signer's key only when some record
    // has one, as in the window.
    std::vector<HistoryColumn> shown = {
        HistoryColumn::Start,  HistoryColumn::Link,  HistoryColumn::Address, HistoryColumn::Model,
        HistoryColumn::Before, HistoryColumn::After, HistoryColumn::Image,   HistoryColumn::Sha256,
        HistoryColumn::Size,   HistoryColumn::Sent,  HistoryColumn::Seconds,
    };
    if (std::any_of(history.entries.begin(), history.entries.end(),
                    [](const HistoryEntry& e) { return !e.record.signatureKey.empty(); })) {
        shown.push_back(HistoryColumn::Signature);
    }
    const size_t kColumns = shown.size() + 1;
    using Row = std::vector<std::string>;
    std::vector<Row> rows(1, Row(kColumns));
    for (size_t i = 0; i < shown.size(); ++i)
        rows[0][i] = platform::asciiUpperCase(historyColumnTitle(shown[i]));
    rows[0].back() = "OUTCOME";
    const std::vector<HistoryRow> model = historyRows(history);
    for (size_t n = 0; n < model.size(); ++n) {
        const HistoryEntry& e = history.entries[n];
        const FlashRecord& r = e.record;
        Row row(kColumns);
        for (size_t i = 0; i < shown.size(); ++i) row[i] = model[n][shown[i]].text;
        const std::string outcome = e.ended ? outcomeName(r) : kInterruptedOutcome;
        const std::string detail = e.ended ? r.detail : kInterruptedDetail;
        row.back() = historyCellText(outcome + (detail.empty() ? "" : ": " + detail));
        rows.push_back(row);
    }
    std::vector<size_t> width(kColumns);
    for (const Row& row : rows)
        for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    std::string text;
    for (size_t n = 0; n < rows.size(); ++n) {
        const Row& row = rows[n];
        // A fleet run's records stand together under its id.
        if (n > 0) {
            const std::string& fleet = history.entries[n - 1].record.fleet;
            if (!fleet.empty() && (n == 1 || history.entries[n - 2].record.fleet != fleet)) {
                text += fleetHeading(history, n - 1);
            }
        }
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(width[i] - row[i].size() + 2, ' ');
        }
        text += line + "\n";
    }
    return text;
}

std::string damagedLinesText(const HistoryContent& history, const std::string& location) {
    std::string text;
    for (const DamagedLine& d : history.damaged) {
        text += "line " + std::to_string(d.line) + " of " + location + " is damaged (" + d.reason +
                "); skipped\n";
    }
    return text;
}

std::optional<std::string> interruptedFlashNotice(const HistoryContent& history) {
    if (history.entries.empty()) return std::nullopt;
    if (!history.entries.back().record.fleet.empty()) {
        std::string notice = fleetInterruptedNotice(history);
        if (notice.empty()) return std::nullopt;
        return notice;
    }
    if (history.entries.back().ended) return std::nullopt;
    const FlashRecord& r = history.entries.back().record;
    const std::string image =
        fileNameOf(r.imagePath) + (r.imageVersion.empty() ? "" : " (" + r.imageVersion + ")");
    return "The last flash did not finish: " + orDash(r.model) + " on " + linkAndPlace(r) +
           ", started " + isoUtc(r.startMs) + " with the image " + orDash(image) +
           ".\r\nThe printer may still be in flash mode.\r\n\n"
           "1 - Power-cycle the printer.\r\n"
           "2 - Press Find Printer to find it again.\r\n"
           "3 - Flash the same image again.";
}

}  // namespace kv
