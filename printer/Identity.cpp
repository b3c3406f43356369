#include "printer/Identity.h"

#include <array>
#include <string_view>

#include "image/FirmwareMarker.h"

namespace kv {

namespace {

bool contains(std::string_view text, std::string_view key) {
    return text.find(key) != std::string_view::npos;
}

// Board code from a ZOR1 family device ID; every marker is searched in the
// whole ID and each later one overrides the earlier.
LogicBoard zor1BoardCode(std::string_view id) {
    using enum LogicBoard;
    struct Family {
        std::string_view model;
        std::string_view variantA;
        LogicBoard std, gap, pr, gapPr, gapPrA;
    };
    static constexpr std::array<Family, 2> families{{
        {"MDL:ZOR12", "MDL:ZOR12A", Zor1x200Std, Zor1x200Adjust, Zor1x200StdPresenter,
         Zor1x200AdjustPresenter, Zor1xa200AdjustPresenter},
        {"MDL:ZOR13", "MDL:ZOR13A", Zor1x300Std, Zor1x300Adjust, Zor1x300StdPresenter,
         Zor1x300AdjustPresenter, Zor1xa300AdjustPresenter},
    }};
    for (const Family& f : families) {
        if (!contains(id, f.model)) continue;
        LogicBoard code = f.std;
        if (contains(id, ")GAP;")) code = f.gap;
        if (contains(id, ")PR;")) code = f.pr;
        if (contains(id, ")GAP_PR;")) code = f.gapPr;
        if (contains(id, f.variantA) && code == f.gapPr) code = f.gapPrA;
        return code;
    }
    return Zor1xUnsupported;
}

// The value of the ID's first "FWV:" key, up to a blank, a ";" or the end.
std::optional<std::string_view> wholeFirmwareValue(std::string_view id) {
    const size_t key = id.find(kFirmwareVersionMarker);
    if (key == std::string_view::npos) return std::nullopt;
    const std::string_view value = id.substr(key + kFirmwareVersionMarker.size());
    return value.substr(0, value.find_first_of(" ;"));
}

}  // namespace

bool GetPrinterTypeNameFromID(platform::Ui& ui, PrinterData& printer) {
    printer.printerType = PRINTER_TYPE_FGL;
    const std::string_view id = printer.deviceId;
    const size_t key = id.find("MDL:");
    if (key == std::string_view::npos) {
        platform::box(ui, kModelNotFoundText);
        return false;
    }
    const std::string_view value = id.substr(key + 4);
    if (contains(value, "ZOR-38")) {
        printer.typeName = "ZOR-38";
        printer.printerType = PRINTER_TYPE_RASTER;
        return true;
    }
    if (!value.empty() && value.front() == ';') {
        printer.typeName.clear();
        return true;
    }
    const std::string_view name = value.substr(0, value.find(';'));
    printer.typeName = fitField(name, kPrinterTextSize);
    if (printer.typeName.empty()) return true;

    const char last = printer.typeName.back();
    const char beforeLast =
        printer.typeName.size() >= 2 ? printer.typeName[printer.typeName.size() - 2] : 'F';
    if (last == 'G') {
        printer.printerType = PRINTER_TYPE_G;
    } else if (last == 'A' || (beforeLast == 'A' && (last == 'T' || last == 'P'))) {
        printer.printerType = PRINTER_TYPE_AEA;
    }
    return true;
}

void GetPortTypeName(PrinterData& printer, PortType activePortType,
                     const std::string& parallelPortName) {
    switch (activePortType) {
        case PORT_TYPE_PARALLEL:
            printer.portName = parallelPortName.empty()
                                   ? std::string("PARALLEL")
                                   : fitField(parallelPortName, kPrinterTextSize);
            break;
        case PORT_TYPE_SERIAL: printer.portName = "SERIAL"; break;
        case PORT_TYPE_ETHERNET: printer.portName = "ETHERNET"; break;
        default: printer.portName = "USB"; break;
    }
}

void GetFirmwareVersionFromID(platform::Ui& ui, PrinterData& printer) {
    const std::string_view id = printer.deviceId;
    const std::optional<std::string_view> value = wholeFirmwareValue(id);
    if (!value) {
        printer.firmwareVersion = "Not found";
        platform::box(ui, kModelNotFoundText);
        return;
    }
    std::string_view version = *value;
    if (contains(id, "MDL:ZOR1")) {
        printer.isZor1Family = true;
        version = zor1ShownVersion(version);
        printer.boardCode = zor1BoardCode(id);
    } else {
        printer.isZor1Family = false;
        const size_t digit = version.find_first_of("0123456789");
        // "1" is LOGIC BD I, and so on up to "6", SITARA.
        if (digit != std::string_view::npos && version[digit] >= '1' && version[digit] <= '6') {
            printer.boardCode = static_cast<LogicBoard>(version[digit] - '1');
        }
    }
    printer.firmwareVersion = fitField(version, kPrinterTextSize);
}

std::optional<std::string> reportedVersion(const PrinterData& printer) {
    const std::optional<std::string_view> value = wholeFirmwareValue(printer.deviceId);
    if (!value || value->empty()) return std::nullopt;
    return fitField(*value, kPrinterTextSize);
}

std::string_view zor1ShownVersion(std::string_view whole) {
    const size_t paren = whole.find(')');
    return paren == std::string_view::npos ? whole : whole.substr(0, paren + 1);
}

LanguageText languageTextLocal(PrinterType printerType, LogicBoard board) {
    using enum LogicBoard;
    const auto fgl = [board]() -> LanguageText {
        if (board == Sitara) return {"FGL-AEA-G"};
        if (board == MvqPlus) return {"FGL-G"};
        return {"FGL"};
    };
    switch (printerType) {
        case PRINTER_TYPE_G:
            if (board == Sitara) return {"G-AEA-FGL"};
            if (board == MvqPlus) return {"G-FGL"};
            return {"G"};
        case PRINTER_TYPE_FGL: return fgl();
        case PRINTER_TYPE_RASTER: return {"RASTER", true};
        case PRINTER_TYPE_AEA:
            if (board == MvqPlus || board == Sitara) return {"AEA-FGL-G"};
            if (isZor1xa(board)) return {"AEA-G"};
            return fgl();
        default: return {"NOT FOUND"};
    }
}

LanguageText languageTextEthernet(PrinterType printerType) {
    switch (printerType) {
        case PRINTER_TYPE_G: return {"G"};
        case PRINTER_TYPE_FGL: return {"FGL"};
        case PRINTER_TYPE_RASTER: return {"RASTER", true};
        default: return {"NOT FOUND"};
    }
}

std::optional<std::string> logicBoardTextLocal(LogicBoard board) {
    // By code, LOGIC BD I first.
    static constexpr std::array<std::string_view, 17> texts{
        "LOGIC BD I",
        "LOGIC BD II ROHS",
        "MV38 STANDARD",
        "MV38 DualDriver",
        "MVQ Plus",
        "SITARA",
        "ZOR1X UNSUPPORTED",
        "ZOR1X 200dpi (Std)",
        "ZOR1X 300dpi (Std)",
        "ZOR1X 200dpi (Adjust)",
        "ZOR1X 300dpi (Adjust)",
        "ZOR1X 200dpi (Std Presenter)",
        "ZOR1X 300dpi (Std Presenter)",
        "ZOR1X 200dpi (Adjust Presenter)",
        "ZOR1X 300dpi (Adjust Presenter)",
        "ZOR1XA 200dpi (Adjust Presenter)",
        "ZOR1XA 300dpi (Adjust Presenter)",
    };
    const int32_t code = static_cast<int32_t>(board);
    if (code < 0 || code >= static_cast<int32_t>(texts.size())) return std::nullopt;
    return std::string(texts[static_cast<size_t>(code)]);
}

std::string logicBoardTextEthernet(LogicBoard board) {
    return board == LogicBoard::LogicBdI ? "LOGIC BD I" : "LOGIC BD II ROHS";
}

}  // namespace kv
