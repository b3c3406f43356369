#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "state/TextFields.h"

namespace kv {

// The link a printer was found on.
enum class PortType : int32_t {
    PORT_TYPE_USB = 0,
    PORT_TYPE_PARALLEL = 1,
    PORT_TYPE_SERIAL = 2,
    PORT_TYPE_ETHERNET = 3,
    PORT_TYPE_NONE = 4,
};
using enum PortType;

// The language family, from the type name.
enum class PrinterType : uint32_t {
    PRINTER_TYPE_G = 0,
    PRINTER_TYPE_FGL = 1,
    PRINTER_TYPE_RASTER = 2,
    PRINTER_TYPE_AEA = 3,
};
using enum PrinterType;

// The logic board, or for the ZOR1X family the model variant: the codes of
// the identity table, each named after the Logic Board text it shows.
enum class LogicBoard : int32_t {
    LogicBdI = 0,
    LogicBdIIRohs = 1,
    Mv38Standard = 2,
    Mv38DualDriver = 3,
    MvqPlus = 4,
    Sitara = 5,
    Zor1xUnsupported = 6,
    Zor1x200Std = 7,
    Zor1x300Std = 8,
    Zor1x200Adjust = 9,
    Zor1x300Adjust = 10,
    Zor1x200StdPresenter = 11,
    Zor1x300StdPresenter = 12,
    Zor1x200AdjustPresenter = 13,
    Zor1x300AdjustPresenter = 14,
    Zor1xa200AdjustPresenter = 15,
    Zor1xa300AdjustPresenter = 16,
};

// The first two boards, LOGIC BD I and LOGIC BD II ROHS.
constexpr bool isLogicBdIOrII(LogicBoard board) {
    return board == LogicBoard::LogicBdI || board == LogicBoard::LogicBdIIRohs;
}

// The ZOR1XA variants, whose images may carry a KV_FIRMWARE header.
constexpr bool isZor1xa(LogicBoard board) {
    return board == LogicBoard::Zor1xa200AdjustPresenter ||
           board == LogicBoard::Zor1xa300AdjustPresenter;
}

// Room for the last status reply.
inline constexpr size_t kStatusSize = 1024;

struct PrinterData {
    std::string typeName;
    std::string portName;
    std::string firmwareVersion;
    std::string deviceId;
    PortType portType = PORT_TYPE_USB;
    LogicBoard boardCode = LogicBoard::LogicBdI;
    PrinterType printerType = PRINTER_TYPE_G;
    int32_t modeSelection = 0;
    std::array<uint8_t, kStatusSize> lastStatus{};
    uint32_t lastStatusLength = 0;
    bool isZor1Family = false;
};

}  // namespace kv
