#pragma once
#include <memory>
#include <string>

#include "platform/FileReader.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// The image of a fleet run, read once.
struct FleetImage {
    // Nothing when the file could not be read; `error` says why.
    std::shared_ptr<const PreloadedImage> image;
    std::string error;
    // It starts with a "KV_FIRMWARE" header. Over Ethernet an image goes
    // whole, header and all: reported, never stripped.
    bool headed = false;
};

// Reads `path` through the file reader (regular files only, within the
// image size limit) and takes its facts: size, "FWV:" marker, SHA-256.
FleetImage loadFleetImage(platform::FileReader& files, const std::string& path);

}  // namespace kv::fleet
