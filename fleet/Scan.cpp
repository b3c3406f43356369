#include "fleet/Scan.h"

#include "platform/Format.h"
#include "printer/Identity.h"

namespace kv::fleet {

namespace {

// Shows nothing: the identity decoder's answer alone is wanted.
class SilentUi final : public platform::Ui {
public:
    platform::BoxAnswer messageBox(const std::optional<std::string>&, const std::string&,
                                   platform::BoxButtons) override {
        return platform::BoxAnswer::No;
    }
    std::optional<std::string> openFile(const platform::OpenFileRequest&) override {
        return std::nullopt;
    }
    void postQuit(int) override {}
};

}  // namespace

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

ScanResult scanPrinter(PrinterWorld& world) {
    ScanResult r;
    r.endpoint = world.endpoint;
    r.ready = world.find();
    const AppState& state = world.state;
    r.printer = state.printerData;
    if (state.activePortType != PORT_TYPE_ETHERNET) {
        r.reach = Reach::Refused;
        return r;
    }
    if (!state.lastProbe.identified) {
        r.reach = Reach::NoReply;
        return r;
    }
    // The decoder names no model: whatever answered is no KV printer.
    PrinterData copy = r.printer;
    SilentUi silent;
    if (!GetPrinterTypeNameFromID(silent, copy)) {
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
