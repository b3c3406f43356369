#include "printer/discovery/EthernetDiscovery.h"

#include "link/Ethernet.h"
#include "platform/Trace.h"
#include "platform/Ui.h"
#include "printer/Identity.h"
#include "printer/discovery/ProgramControls.h"

namespace kv {

using platform::Control;

bool findEthernetPrinter(Context& ctx, platform::DialogControls& controls, PrinterData& printer) {
    AppState& state = ctx.state;
    state.lastProbe = ProbeReading{};
    if (FlashSteps* steps = state.flashSteps) steps->began(FlashStep::Identifying);
    controls.enable(Control::optionList, false);
    controls.setText(Control::statusText,
                     "Probing for printers - Operation may take up to 30 seconds");
    controls.show(Control::optionList, false);

    const auto& ip = state.ipAddressText;
    if (!openSocket(ctx.sys, state.ethernetSocket, ip[0], ip[1], ip[2], ip[3], state.portNumberText,
                    printer)) {
        controls.setText(Control::statusText, "Did not find Ethernet attached printer");
        controls.enable(Control::findEthernetButton, true);
        controls.enable(Control::ethernetGroup, true);
        return false;
    }
    const platform::SocketHandle socket = state.ethernetSocket;
    state.activePortType = PORT_TYPE_ETHERNET;
    platform::tracef(ctx.trace(), "After finding Ethernet port type = %d",
                     static_cast<int>(printer.portType));

    bool ready = false;
    if (!GetPrinterIDEthernet(ctx.sys, socket, printer)) {
        platform::box(ctx.ui(), "Can't get printer ID");
    } else {
        (void)GetPrinterTypeNameFromID(ctx.ui(), printer);
        controls.setText(Control::printerModelText, printer.typeName);
        GetPortTypeName(printer, state.activePortType, state.parallelPortName);
        controls.setText(Control::portText, printer.portName);
        GetFirmwareVersionFromID(ctx.ui(), printer);
        controls.setText(Control::currentVersionText, printer.firmwareVersion);
        state.lastProbe.identified = true;
        state.lastProbe.version = reportedVersion(printer);

        const LanguageText language = languageTextEthernet(printer.printerType);
        controls.setText(Control::languageText, language.text);
        if (language.enablesOptionList) controls.enable(Control::optionList, true);
        controls.setText(Control::logicBoardText, logicBoardTextEthernet(printer.boardCode));

        ready = isPrinterReadyEthernet(ctx.sys, socket, printer, &state.lastProbe.statusBytes);
    }

    if (ready) {
        controls.setText(Control::statusText, "Found Printer - Printer ready");
        openProgramControls(controls);
    } else {
        disableProgramControls(controls);
        controls.setText(Control::statusText, "Found Printer - Printer NOT ready");
    }
    closeSocket(ctx.sys, socket);
    return ready;
}

}  // namespace kv
