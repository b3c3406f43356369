#include "flash/TransferParameters.h"

namespace kv {

TransferParameters transferParametersFor(const PrinterData& printer) {
    if (printer.isZor1Family) return {0, kLargeBlockSize, 8, true};
    switch (printer.boardCode) {
        case LogicBoard::LogicBdI:
        case LogicBoard::LogicBdIIRohs: return {15, kSmallBlockSize, 25, false};
        case LogicBoard::Mv38Standard:
        case LogicBoard::Mv38DualDriver: return {3, kSmallBlockSize, 15, false};
        case LogicBoard::MvqPlus:
        case LogicBoard::Sitara: return {3, kLargeBlockSize, 35, false};
        default: return {0, kSmallBlockSize, 0, false};
    }
}

std::array<uint8_t, kFlashProgramCommandSize> FLASH_PROGRAM_COMMAND(uint32_t payloadLength) {
    const uint32_t high = payloadLength >> 16;
    const bool large = high >= 255;
    return {0x1A,
            0x75,
            0xAA,
            0x55,
            0x80,
            static_cast<uint8_t>(payloadLength & 0xFF),
            static_cast<uint8_t>((payloadLength >> 8) & 0xFF),
            static_cast<uint8_t>(large ? 0xFF : high),
            static_cast<uint8_t>(large ? ((high + 1) & 0xFF) : 0)};
}

}  // namespace kv
