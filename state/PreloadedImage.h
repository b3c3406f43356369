#pragma once
#include <memory>
#include <string>

#include "platform/DialogControls.h"

namespace kv {

struct FirmwareImage;

// An image read once for many flashes (a fleet run): the bytes every
// printer's transfer shares, read-only, and the facts its records carry
// (its signature's among them, judged over these bytes when they were
// read). A flash that has one never reads the image file.
struct PreloadedImage {
    std::shared_ptr<const FirmwareImage> image;
    std::string path;
    platform::ImageFacts facts;
};

}  // namespace kv
