// The device-ID decoders on any ID text a printer could report.
#include "fuzz/FuzzWorld.h"
#include "printer/Identity.h"
#include "state/TextFields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    fuzz::FuzzServices s;
    PrinterData printer;
    printer.deviceId = std::string(fuzz::textOf(data, size));
    const bool named = GetPrinterTypeNameFromID(s.ui, printer);
    GetPortTypeName(printer, PORT_TYPE_USB, "LPT1:");
    GetFirmwareVersionFromID(s.ui, printer);
    fuzz::require(printer.typeName.size() < kPrinterTextSize);
    fuzz::require(printer.firmwareVersion.size() < kPrinterTextSize);
    if (named) {
        (void)languageTextLocal(printer.printerType, printer.boardCode);
        (void)languageTextEthernet(printer.printerType);
        (void)logicBoardTextLocal(printer.boardCode);
        (void)logicBoardTextEthernet(printer.boardCode);
    }
    return 0;
}
