#pragma once
#include <cstdint>

#include "image/FileBytes.h"
#include "image/FirmwareImage.h"
#include "state/Context.h"

namespace kv {

// Reads the file named by firmwareFileName whole into `image`. A missing
// name, an unreadable file or one over maxBytes gets a box (caption
// "Firmware update") and false, and leaves `image` empty.
[[nodiscard]] bool loadFirmwareImage(Context& ctx, FirmwareImage& image,
                                     uint64_t maxBytes = kMaxFirmwareImageBytes);

}  // namespace kv
