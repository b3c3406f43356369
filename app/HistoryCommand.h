#pragma once
#include <iosfwd>
#include <string>

#include "app/HistoryRows.h"
#include "state/Context.h"

namespace kv {

// kvflash --history: the flashes as a table, or with `json` the records'
// lines as the file holds them; damaged lines are reported on `err` and
// skipped. 0, or 1 when the file cannot be read. When there is no record
// and `simulated` (the simulated runs' history, where a demo's flashes go)
// has some, `err` says how to see them.
int showHistory(platform::Services& sys, bool json, std::ostream& out, std::ostream& err,
                platform::HistoryFile* simulated = nullptr);

// What the History button shows: the table and any damaged lines, or why
// there is nothing to show.
std::string historyReport(platform::Services& sys);
// The same as rows, for a window's table.
HistoryView historyView(platform::Services& sys);

// At start-up: a box when the newest flash was cut off (the printer may be
// in flash mode still); in automatic-load mode a notice and a trace line
// instead, so that the search starts without a click.
void warnOfInterruptedFlash(Context& ctx);

}  // namespace kv
