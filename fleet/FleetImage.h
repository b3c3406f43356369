#pragma once
#include <memory>
#include <string>

#include "platform/FileReader.h"
#include "platform/TrustedKeys.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// The image of a fleet run, read once.
struct FleetImage {
    // Nothing when the file could not be read or its signature refuses it;
    // `error` says why.
    std::shared_ptr<const PreloadedImage> image;
    std::string error;
    // The error is the signature's refusal (trusted keys configured): the
    // run stops before any printer is reached.
    bool refused = false;
    // It starts with a "KV_FIRMWARE" header. Over Ethernet an image goes
    // whole, header and all: reported, never stripped.
    bool headed = false;
};

// Reads `path` through the file reader (regular files only, within the
// image size limit) and takes its facts: size, "FWV:" marker, SHA-256, and
// the signature beside it judged against `trust` over the bytes read, once
// for the whole run: those bytes are what every printer is sent.
FleetImage loadFleetImage(platform::FileReader& files, const platform::TrustedKeys& trust,
                          const std::string& path);

}  // namespace kv::fleet
