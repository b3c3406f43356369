#pragma once
#include <optional>
#include <string>

#include "flash/FlashHistory.h"

namespace kv {

inline constexpr const char* kHistoryCaption = "Flash history";
inline constexpr const char* kInterruptedCaption = "Interrupted flash";

// The flashes as a table, one line each under a heading, newest last; a
// flash without its end is marked interrupted, and a fleet run's flashes
// stand under a line with its id. Empty without flashes.
std::string historyTable(const HistoryContent& history);

// One line per damaged line of the file ("line N of PATH ..."); empty
// when there is none.
std::string damagedLinesText(const HistoryContent& history, const std::string& location);

// What the technician must know when the newest flash was cut off: which
// printer, on which link, since when, and what to do; when the newest flash
// was part of a fleet run, every flash of that run cut off (a bounded
// list). Nothing otherwise.
std::optional<std::string> interruptedFlashNotice(const HistoryContent& history);

}  // namespace kv
