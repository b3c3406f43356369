#pragma once
#include <cstddef>
#include <string>

namespace kv {

// The system's path limit, terminator included.
inline constexpr size_t kFirmwareFileNameSize = 260;

// What the firmware update keeps between commands.
struct FlashState {
    // Full path of the accepted image to flash; empty when there is none.
    // At most kFirmwareFileNameSize - 1 characters.
    std::string firmwareFileName;
};

}  // namespace kv
