#include "app/HistoryCommand.h"

#include <ostream>

#include "app/HistoryTable.h"
#include "flash/FlashHistory.h"
#include "platform/HistoryFile.h"
#include "platform/Trace.h"

namespace kv {

namespace {

// `what` names the flashes meant ("No flash of 10.0.0.7:10001").
std::string noFlashText(const std::string& location, const std::string& what = "No flash") {
    return what + " recorded yet in " + location + ".\n";
}

std::string unreadableText(const std::string& reason) {
    return "The flash history cannot be read: " + reason + "\n";
}

std::string recordedInText(const std::string& location, const std::string& what = "Flashes") {
    return what + " recorded in " + location + ", newest last:\n";
}

// How many flashes `file` records; 0 when it cannot be read.
size_t recordCount(platform::HistoryFile& file) {
    const auto text = file.read();
    return text ? parseHistory(*text).entries.size() : 0;
}

}  // namespace

int showHistory(platform::Services& sys, bool json, std::ostream& out, std::ostream& err,
                platform::HistoryFile* simulated) {
    platform::HistoryFile& file = sys.history();
    const auto text = file.read();
    if (!text) {
        err << "kvflash: the flash history cannot be read: " << text.reason() << "\n";
        return 1;
    }
    const HistoryContent history = parseHistory(*text);
    if (json) {
        for (const std::string& line : history.lines) out << line << "\n";
    } else if (history.entries.empty()) {
        out << noFlashText(file.location());
    } else {
        out << historyTable(history);
    }
    err << damagedLinesText(history, file.location());
    if (history.entries.empty() && simulated) {
        if (const size_t n = recordCount(*simulated)) {
            err << "The simulated printers' history has " << n << (n == 1 ? " record" : " records")
                << ": kvflash --history --simulate\n";
        }
    }
    return 0;
}

std::string historyReport(platform::Services& sys) {
    platform::HistoryFile& file = sys.history();
    const auto text = file.read();
    if (!text) return unreadableText(text.reason());
    const HistoryContent history = parseHistory(*text);
    if (history.entries.empty()) {
        return noFlashText(file.location()) + damagedLinesText(history, file.location());
    }
    return recordedInText(file.location()) + "\n" + historyTable(history) +
           damagedLinesText(history, file.location());
}

HistoryView historyView(platform::Services& sys, const std::string& address) {
    platform::HistoryFile& file = sys.history();
    const auto text = file.read();
    if (!text) return {unreadableText(text.reason()), {}, {}};
    HistoryContent history = parseHistory(*text);
    HistoryView view;
    if (!address.empty()) {
        std::erase_if(history.entries,
                      [&](const HistoryEntry& e) { return e.record.address != address; });
    }
    const std::string of = address.empty() ? "" : " of " + address;
    view.heading = history.entries.empty() ? noFlashText(file.location(), "No flash" + of)
                                           : recordedInText(file.location(), "Flashes" + of);
    view.rows = historyRows(history);
    view.damaged = damagedLinesText(history, file.location());
    for (const HistoryEntry& e : history.entries)
        if (!e.record.signatureKey.empty()) view.signatureColumn = true;
    return view;
}

void warnOfInterruptedFlash(Context& ctx) {
    const auto text = ctx.sys.history().read();
    if (!text) {
        platform::tracef(ctx.trace(), "Flash history - cannot be read: %s",
                         platform::escapeDeviceText(text.reason()).c_str());
        return;
    }
    const auto notice = interruptedFlashNotice(parseHistory(*text));
    if (!notice) return;
    if (ctx.state.autoLoadMode) {
        // Nobody is there to click a box away: the search must go on.
        platform::tracef(ctx.trace(), "Flash history - %s: %s", kInterruptedCaption,
                         platform::escapeDeviceText(*notice).c_str());
        ctx.ui().showNotice(kInterruptedCaption, *notice);
        return;
    }
    platform::box(ctx.ui(), kInterruptedCaption, *notice);
}

}  // namespace kv
