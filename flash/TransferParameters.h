#pragma once
#include <array>
#include <cstdint>

#include "state/PrinterData.h"

namespace kv {

// How a local flash paces and cuts the image for one printer.
struct TransferParameters {
    uint32_t startDelaySeconds = 0;
    uint32_t blockSize = 512;
    uint32_t resetWaitSeconds = 0;
    // The ZOR1 family: the whole file is read first and announced with
    // FLASH_PROGRAM_COMMAND.
    bool wholeFileFirst = false;
};

inline constexpr uint32_t kSmallBlockSize = 512;
inline constexpr uint32_t kLargeBlockSize = 8192;

// By board code; the ZOR1 family flag overrides the board code.
TransferParameters transferParametersFor(const PrinterData& printer);

inline constexpr size_t kFlashProgramCommandSize = 9;

// The command that announces the payload to a ZOR1-family printer:
// 1A 75 AA 55 80, the length's low two bytes, then its third byte (0xFF
// from 255 on, with the rest carried in the last byte as H + 1).
std::array<uint8_t, kFlashProgramCommandSize> FLASH_PROGRAM_COMMAND(uint32_t payloadLength);

}  // namespace kv
