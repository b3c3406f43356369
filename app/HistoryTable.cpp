#include "app/HistoryTable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kv {

namespace {

constexpr size_t kShaShown = 12;

std::string fileNameOf(const std::string& path) {
    const size_t end = path.find_last_of("/\\");
    return end == std::string::npos ? path : path.substr(end + 1);
}

std::string orDash(const std::string& text) { return text.empty() ? "-" : text; }

// Table cells are one line of printable text.
std::string cell(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    return orDash(out);
}

// USB paths are long; the serial in them names the printer.
std::string whereShown(const FlashRecord& r) {
    if (r.link == "USB" && !r.serial.empty()) return r.serial;
    return r.address;
}

std::string outcomeName(const FlashRecord& r) {
    return r.outcome ? std::string(platform::verifyOutcomeName(*r.outcome)) : std::string();
}

std::string seconds(const HistoryEntry& e) {
    if (!e.ended) return "-";
    return std::to_string((e.record.durationMs + 500) / 1000);
}

std::string linkAndPlace(const FlashRecord& r) {
    const std::string where = whereShown(r);
    if (where.empty() || where == r.link) return r.link;
    return r.link + " " + where;
}

// "fleet run ID: N printers" above the first record of a run.
std::string fleetHeading(const HistoryContent& history, size_t first) {
    const std::string& fleet = history.entries[first].record.fleet;
    size_t count = 0;
    for (size_t i = first; i < history.entries.size() && history.entries[i].record.fleet == fleet;
         ++i) {
        ++count;
    }
    return "fleet run " + cell(fleet) + ": " + std::to_string(count) + " printer" +
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
    std::string text = "The last fleet run (" + cell(fleet) + ") did not finish " +
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
    using Row = std::array<std::string, 12>;
    std::vector<Row> rows;
    rows.push_back({"START (UTC)", "LINK", "ADDRESS", "MODEL", "BEFORE", "AFTER", "IMAGE",
                    "SHA-256", "SIZE", "SENT", "SECONDS", "OUTCOME"});
    for (const HistoryEntry& e : history.entries) {
        const FlashRecord& r = e.record;
        const std::string outcome =
            e.ended ? outcomeName(r) + (r.detail.empty() ? "" : ": " + r.detail) : kInterruptedText;
        rows.push_back({isoUtc(r.startMs), cell(r.link), cell(whereShown(r)), cell(r.model),
                        cell(r.firmwareBefore), e.ended ? cell(r.firmwareAfter) : "-",
                        cell(fileNameOf(r.imagePath)), cell(r.imageSha256.substr(0, kShaShown)),
                        std::to_string(r.imageSize), e.ended ? std::to_string(r.bytesSent) : "-",
                        seconds(e), cell(outcome)});
    }
    std::array<size_t, 12> width{};
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
