// The device-ID decoders on any ID text a printer could report.
#include "fuzz/FuzzWorld.h"
#include "printer/Identity.h"
#include "printer/SameVersion.h"
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
    // What is shown of the version is where the reported one begins, and
    // the reported one is the same version as what is shown.
    if (const auto reported = reportedVersion(printer)) {
        fuzz::require(reported->starts_with(printer.firmwareVersion));
        fuzz::require(sameFirmwareVersion(*reported, printer.firmwareVersion));
    }
    if (named) {
        (void)languageTextLocal(printer.printerType, printer.boardCode);
        (void)languageTextEthernet(printer.printerType);
        (void)logicBoardTextLocal(printer.boardCode);
        (void)logicBoardTextEthernet(printer.boardCode);
    }
    return 0;
}
