#pragma once
#include <array>
#include <cstdint>

#include "platform/DeviceHandle.h"
#include "state/PrinterData.h"

namespace kv {

inline constexpr size_t kStatusStringSize = 512;
inline constexpr size_t kFirmwareTextSize = 128;

// The working record of one emulated status exchange: made cleared at its
// start and dropped at its end, so the firmware text is worked out anew on
// every exchange.
struct PrinterStatus {
    platform::DeviceHandle port;
    PrinterData* printer = nullptr;
    std::array<uint8_t, kStatusStringSize> sString{};
    uint32_t sLength = 0;
    std::array<uint8_t, kStatusStringSize> nString{};
    uint32_t nLength = 0;
    std::array<uint8_t, kStatusStringSize> eString{};
    uint32_t eLength = 0;
    std::array<uint8_t, kStatusStringSize> cString{};
    uint32_t cLength = 0;
    std::array<char, kFirmwareTextSize> firmwareText{};  // NUL-terminated
    uint32_t firmwareTextLength = 0;
};

}  // namespace kv
