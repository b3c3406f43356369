#include "fleet/Scan.h"

#include "platform/Format.h"
#include "printer/DeviceIdFields.h"
#include "printer/Identity.h"

namespace kv::fleet {

std::string_view reachName(Reach reach) {
    switch (reach) {
        case Reach::Found: return "found";
        case Reach::Refused: return "refused";
        case Reach::Silent: return "silent";
        case Reach::NoReply: return "no-reply";
        case Reach::NotKv: return "not-kv";
    }
    return "";
}

ScanResult identityOf(const PrinterWorld& world, bool ready,
                      const std::vector<std::string>& makers) {
    ScanResult r;
    r.endpoint = world.endpoint;
    r.scanned = true;
    r.ready = ready;
    const AppState& state = world.state;
    r.printer = state.printerData;
    r.statusBytes = state.lastProbe.statusBytes;
    if (state.activePortType != PORT_TYPE_ETHERNET) {
        r.reach = Reach::Refused;
        return r;
    }
    if (!state.lastProbe.identified) {
        r.reach = Reach::NoReply;
        return r;
    }
    if (!isKvPrinterId(r.printer.deviceId, makers)) {
        r.reach = Reach::NotKv;
        return r;
    }
    r.reach = Reach::Found;
    r.reportedVersion = reportedVersion(r.printer);
    r.model = r.printer.typeName;
    r.firmware = r.printer.firmwareVersion;
    r.logicBoard = logicBoardTextEthernet(r.printer.boardCode);
    r.language = languageTextEthernet(r.printer.printerType).text;
    r.status = r.ready ? "ready" : "not ready";
    return r;
}

ScanResult scanPrinter(PrinterWorld& world, const std::vector<std::string>& makers) {
    const bool ready = world.find();
    return identityOf(world, ready, makers);
}

ReachCounts countReaches(const std::vector<ScanResult>& results) {
    ReachCounts c;
    for (const ScanResult& r : results) {
        switch (r.reach) {
            case Reach::Found: ++c.found; break;
            case Reach::Refused: ++c.refused; break;
            case Reach::Silent: ++c.silent; break;
            case Reach::NoReply: ++c.noReply; break;
            case Reach::NotKv: ++c.notKv; break;
        }
    }
    return c;
}

std::string missCountsText(const ReachCounts& c) {
    return platform::formatted("%zu %s refused, %zu silent, %zu no-reply, %zu not-kv", c.refused,
                               c.refused == 1 ? "address" : "addresses", c.silent, c.noReply,
                               c.notKv);
}

std::string reachCountsText(const ReachCounts& c) {
    return platform::formatted("%zu %s found; ", c.found, c.found == 1 ? "printer" : "printers") +
           missCountsText(c);
}

}  // namespace kv::fleet
