#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/Ui.h"
#include "state/PrinterData.h"

namespace kv {

inline constexpr const char* kModelNotFoundText = "Printer model NOT found in ID!";

// Decoders of the device-ID text, called in this order after an ID was stored.
// Each missing key shows one box through ui.
[[nodiscard]] bool GetPrinterTypeNameFromID(platform::Ui& ui, PrinterData& printer);
void GetPortTypeName(PrinterData& printer, PortType activePortType,
                     const std::string& parallelPortName);
void GetFirmwareVersionFromID(platform::Ui& ui, PrinterData& printer);
// The version the ID reports, when it carries one ("FWV:" with a value): the
// whole value, which for a ZOR1 printer goes on behind the ")" where
// GetFirmwareVersionFromID cuts it for showing. A parallel port's ID on
// Linux has none.
std::optional<std::string> reportedVersion(const PrinterData& printer);
// What a ZOR1 printer shows of its whole version: up to and with its first
// ")" ("V1.03)" of "V1.03)GAP"); all of it without one.
std::string_view zor1ShownVersion(std::string_view whole);

struct LanguageText {
    std::string text;
    // RASTER printers enable the dialog's hidden option list.
    bool enablesOptionList = false;
};

LanguageText languageTextLocal(PrinterType printerType, LogicBoard board);
LanguageText languageTextEthernet(PrinterType printerType);
// Nothing for a code outside the table: the field keeps what it showed.
std::optional<std::string> logicBoardTextLocal(LogicBoard board);
std::string logicBoardTextEthernet(LogicBoard board);

}  // namespace kv
