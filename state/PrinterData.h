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

// Room for the last status reply.
inline constexpr size_t kStatusSize = 1024;

struct PrinterData {
    std::string typeName;
    std::string portName;
    std::string firmwareVersion;
    std::string deviceId;
    PortType portType = PORT_TYPE_USB;
    int32_t boardCode = 0;
    PrinterType printerType = PRINTER_TYPE_G;
    int32_t modeSelection = 0;
    std::array<uint8_t, kStatusSize> lastStatus{};
    uint32_t lastStatusLength = 0;
    bool isZor1Family = false;
};

}  // namespace kv
