#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/FileBytes.h"

namespace kv {

// What a firmware file holds, as a technician checks it before a flash.
struct ImageSummary {
    bool readable = false;
    std::string reason;  // why it cannot be read (or is too large)
    uint64_t size = 0;
    std::string version;  // the "FWV:" marker's value; empty without one
    std::string sha256;   // lower-case hex of the whole file
    std::string blake2b;  // its BLAKE2b-512 digest, what a signature signs
};

ImageSummary summarizeImageFile(platform::FileReader& files, const std::string& path,
                                uint64_t maxBytes = kMaxFirmwareImageBytes);

}  // namespace kv
