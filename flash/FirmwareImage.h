#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/Context.h"
#include "flash/FileBytes.h"

namespace kv {

// The in-memory image an Ethernet flash sends.
struct FirmwareImage {
    // The value of the image's first "FWV:" marker; at most 127 characters.
    std::string versionText;
    // Bytes to send from the start of `data`; never more than data.size().
    // The transfer may lower it (an odd last byte is not sent).
    uint32_t length = 0;
    std::vector<uint8_t> data;
};

// An image of these bytes, sent whole, with the version they carry.
// At most 4 GiB - 1 bytes.
FirmwareImage makeFirmwareImage(std::vector<uint8_t> bytes);

// Reads the file named by firmwareFileName whole into `image`. A missing
// name, an unreadable file or one over maxBytes gets a box (caption
// "Firmware update") and false, and leaves `image` empty.
bool LoadFirmwareImage(Context& ctx, FirmwareImage& image,
                       uint64_t maxBytes = kMaxFirmwareImageBytes);

}  // namespace kv
