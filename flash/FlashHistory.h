#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "state/FlashRecord.h"

namespace kv {

// The history file holds one JSON object per line. A flash writes a
// "started" line before the printer's first image byte and an "ended" line
// with the whole record once it has a verdict; a flash that stopped before
// flash mode writes only the "ended" line. A "started" line without its
// "ended" line is a flash that was cut off.
std::string startedLine(const FlashRecord& record);
std::string endedLine(const FlashRecord& record);

// Any other JSON line of the program, written as the history's lines are
// (texts from devices may hold invalid UTF-8: it is replaced, never an
// error). The fields in this order.
using JsonValue = std::variant<std::string, uint64_t, double>;
std::string jsonLine(const std::vector<std::pair<std::string, JsonValue>>& fields);

// "2024-05-01T10:00:00Z" for milliseconds since 1970 (UTC); and back.
std::string isoUtc(int64_t ms);
std::optional<int64_t> parseIsoUtc(const std::string& text);

struct HistoryEntry {
    FlashRecord record;
    // False: only the "started" line is there.
    bool ended = false;
};

struct DamagedLine {
    size_t line = 0;  // from 1
    std::string reason;
};

struct HistoryContent {
    // One per flash, in the order the flashes began: newest last.
    std::vector<HistoryEntry> entries;
    // The lines that were read as records, as they are in the file.
    std::vector<std::string> lines;
    std::vector<DamagedLine> damaged;
};

// Reads the history file's text; a line that is no record is reported and
// skipped, never an error.
HistoryContent parseHistory(const std::string& text);

}  // namespace kv
