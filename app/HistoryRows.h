#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "flash/FlashHistory.h"
#include "platform/DialogControls.h"

namespace kv {

// The flash history as rows of typed cells, for the windows' tables and the
// terminal's text table alike.
enum class HistoryColumn {
    Fleet,
    Start,
    Outcome,
    Model,
    Link,
    Address,
    Before,
    After,
    Image,
    Sha256,
    // The key that signed the image; shown only when some record has one.
    Signature,
    Size,
    Sent,
    Seconds,
    Detail,
    count
};
inline constexpr size_t kHistoryColumnCount = static_cast<size_t>(HistoryColumn::count);

// The column's heading, as the terminal's table writes it.
const char* historyColumnTitle(HistoryColumn column);

// What a view sorts a cell by: a calendar time (ms since 1970) or a count
// as a number, everything else as its text. One column holds one kind.
using HistorySortKey = std::variant<int64_t, uint64_t, std::string>;

struct HistoryCell {
    // One line of printable text; "-" for nothing.
    std::string text;
    HistorySortKey key;
};

struct HistoryRow {
    std::array<HistoryCell, kHistoryColumnCount> cells;
    // A flash whose end was never written: the printer may still be in
    // flash mode. Its tone is Bad.
    bool interrupted = false;
    platform::VerdictTone tone = platform::VerdictTone::Bad;
    // The run of many printers it was part of; empty for one of its own.
    std::string fleet;

    const HistoryCell& operator[](HistoryColumn column) const {
        return cells[static_cast<size_t>(column)];
    }
};

inline constexpr const char* kInterruptedOutcome = "interrupted";
inline constexpr const char* kInterruptedDetail = "the printer may still be in flash mode";

// One row per flash, in the order the flashes began (newest last), so a
// fleet run's rows stand together.
std::vector<HistoryRow> historyRows(const HistoryContent& history);

// What the History button shows: where the records are (or why there are
// none), the rows, and the file's damaged lines.
struct HistoryView {
    std::string heading;
    std::vector<HistoryRow> rows;
    std::string damaged;
    // Some record names the key that signed its image.
    bool signatureColumn = false;
};

// Text from a record as one line of printable text: control characters
// become spaces, nothing becomes "-".
std::string historyCellText(const std::string& text);
// The last part of a Linux or Windows path.
std::string fileNameOf(const std::string& path);
// "USB sim1001", "ETHERNET 10.0.0.7:10001".
std::string linkAndPlace(const FlashRecord& record);

}  // namespace kv
