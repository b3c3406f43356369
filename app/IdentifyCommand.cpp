#include "app/IdentifyCommand.h"

#include <array>

#include "link/Ethernet.h"
#include "printer/Identity.h"

namespace kv {

bool setEthernetTarget(ShellState& shell, std::string_view target) {
    std::string_view address = target;
    std::string_view port = kDefaultEthernetPort;
    const size_t colon = target.find(':');
    if (colon != std::string_view::npos) {
        address = target.substr(0, colon);
        port = target.substr(colon + 1);
    }
    std::array<std::string, 4> parts;
    size_t count = 0;
    for (;;) {
        const size_t dot = address.find('.');
        if (count == 4) return false;
        parts[count++] = std::string(address.substr(0, dot));
        if (dot == std::string_view::npos) break;
        address.remove_prefix(dot + 1);
    }
    if (count != 4) return false;
    for (size_t i = 0; i < 4; ++i) shell.ipAddressText[i] = fitField(parts[i], kAddressTextSize);
    shell.portNumberText = fitField(port, kAddressTextSize);
    return true;
}

IdentifyResult identifyEthernetPrinter(Context& ctx) {
    AppState& s = ctx.state;
    IdentifyResult r;
    if (!openSocket(ctx.sys, s.ethernetSocket, s.ipAddressText[0], s.ipAddressText[1],
                    s.ipAddressText[2], s.ipAddressText[3], s.portNumberText, s.printerData)) {
        r.status = "Did not find Ethernet attached printer";
        return r;
    }
    r.connected = true;
    s.activePortType = PORT_TYPE_ETHERNET;
    platform::tracef(ctx.trace(), "After finding Ethernet port type = %d",
                     static_cast<int>(s.printerData.portType));

    if (GetPrinterIDEthernet(ctx.sys, s.ethernetSocket, s.printerData)) {
        r.idRead = true;
        GetPrinterTypeNameFromID(ctx.ui(), s.printerData);
        GetPortTypeName(s.printerData, s.activePortType, s.parallelPortName);
        GetFirmwareVersionFromID(ctx.ui(), s.printerData);
        r.model = s.printerData.typeName;
        r.port = s.printerData.portName;
        r.firmwareVersion = s.printerData.firmwareVersion;
        r.language = languageTextEthernet(s.printerData.printerType).text;
        r.logicBoard = logicBoardTextEthernet(s.printerData.boardCode);
        r.ready = isPrinterReadyEthernet(ctx.sys, s.ethernetSocket, s.printerData);
    } else {
        platform::box(ctx.ui(), "Can't get printer ID");
    }
    r.status = r.ready ? "Found Printer - Printer ready" : "Found Printer - Printer NOT ready";
    closeSocket(ctx.sys, s.ethernetSocket);
    return r;
}

std::string formatIdentifyResult(const IdentifyResult& r) {
    std::string out;
    const auto line = [&out](const char* name, const std::string& value) {
        out += name;
        out += platform::escapeDeviceText(value);
        out += '\n';
    };
    if (r.idRead) {
        line("Printer:          ", r.model);
        line("Port:             ", r.port);
        line("Language:         ", r.language);
        line("Logic Board:      ", r.logicBoard);
        line("Current Version:  ", r.firmwareVersion);
        line("Ready:            ", r.ready ? "yes" : "no");
    }
    line("Status:           ", r.status);
    return out;
}

int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out) {
    if (!setEthernetTarget(ctx.state, target)) {
        out = "kvflash: --identify needs A.B.C.D[:PORT], got " +
              platform::escapeDeviceText(target) + "\n";
        return 2;
    }
    const IdentifyResult r = identifyEthernetPrinter(ctx);
    out = formatIdentifyResult(r);
    return r.idRead ? 0 : 1;
}

}  // namespace kv
