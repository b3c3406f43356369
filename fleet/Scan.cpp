#include "fleet/Scan.h"

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
        r.reach = Reach::Silent;
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

}  // namespace kv::fleet
