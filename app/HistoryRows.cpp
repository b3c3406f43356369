#include "app/HistoryRows.h"

namespace kv {

namespace {

constexpr size_t kShaShown = 12;

constexpr const char* kColumnTitles[kHistoryColumnCount] = {
    "Fleet run", "Start (UTC)", "Outcome",   "Model", "Link", "Address", "Before", "After",
    "Image",     "SHA-256",     "Signed by", "Size",  "Sent", "Seconds", "Detail",
};

// USB paths are long; the serial in them names the printer.
std::string whereShown(const FlashRecord& r) {
    if (r.link == "USB" && !r.serial.empty()) return r.serial;
    return r.address;
}

HistoryCell textCell(const std::string& text) {
    std::string shown = historyCellText(text);
    return {shown, shown};
}

HistoryCell countCell(uint64_t count, bool known) {
    if (!known) return {"-", uint64_t{0}};
    return {std::to_string(count), count};
}

HistoryRow rowOf(const HistoryEntry& e) {
    const FlashRecord& r = e.record;
    HistoryRow row;
    row.interrupted = !e.ended;
    row.fleet = r.fleet;
    row.tone =
        e.ended && r.outcome ? platform::verdictTone(*r.outcome) : platform::VerdictTone::Bad;
    const std::string outcome =
        r.outcome ? std::string(platform::verifyOutcomeName(*r.outcome)) : "";
    auto set = [&row](HistoryColumn c, HistoryCell cell) {
        row.cells[static_cast<size_t>(c)] = std::move(cell);
    };
    set(HistoryColumn::Fleet, r.fleet.empty() ? HistoryCell{"", std::string()} : textCell(r.fleet));
    set(HistoryColumn::Start, {isoUtc(r.startMs), r.startMs});
    set(HistoryColumn::Outcome, textCell(e.ended ? outcome : kInterruptedOutcome));
    set(HistoryColumn::Model, textCell(r.model));
    set(HistoryColumn::Link, textCell(r.link));
    set(HistoryColumn::Address, textCell(whereShown(r)));
    set(HistoryColumn::Before, textCell(r.firmwareBefore));
    set(HistoryColumn::After, e.ended ? textCell(r.firmwareAfter) : HistoryCell{"-", "-"});
    set(HistoryColumn::Image, textCell(fileNameOf(r.imagePath)));
    set(HistoryColumn::Sha256, textCell(r.imageSha256.substr(0, kShaShown)));
    set(HistoryColumn::Signature, textCell(r.signatureKey));
    set(HistoryColumn::Size, countCell(r.imageSize, true));
    set(HistoryColumn::Sent, countCell(r.bytesSent, e.ended));
    set(HistoryColumn::Seconds, countCell((r.durationMs + 500) / 1000, e.ended));
    // Blank, not "-", where a verdict has no detail, as for a solo flash's fleet.
    const std::string detail = e.ended ? r.detail : kInterruptedDetail;
    set(HistoryColumn::Detail, detail.empty() ? HistoryCell{"", std::string()} : textCell(detail));
    return row;
}

}  // namespace

const char* historyColumnTitle(HistoryColumn column) {
    return kColumnTitles[static_cast<size_t>(column)];
}

std::string historyCellText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    return out.empty() ? "-" : out;
}

std::string fileNameOf(const std::string& path) {
    const size_t end = path.find_last_of("/\\");
    return end == std::string::npos ? path : path.substr(end + 1);
}

std::string linkAndPlace(const FlashRecord& r) {
    const std::string where = whereShown(r);
    if (where.empty() || where == r.link) return r.link;
    return r.link + " " + where;
}

std::vector<HistoryRow> historyRows(const HistoryContent& history) {
    std::vector<HistoryRow> rows;
    rows.reserve(history.entries.size());
    for (const HistoryEntry& e : history.entries) rows.push_back(rowOf(e));
    return rows;
}

}  // namespace kv
