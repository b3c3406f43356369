#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace kv
