#include "image/FirmwareImage.h"

#include <limits>
#include <stdexcept>

#include "image/FirmwareMarker.h"

namespace kv {

FirmwareImage makeFirmwareImage(std::vector<uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        throw std::length_error("firmware image over 4 GiB");
    FirmwareImage image;
    image.versionText = firmwareVersionInImage(bytes.data(), bytes.size());
    image.length = static_cast<uint32_t>(bytes.size());
    image.data = std::move(bytes);
    return image;
}

}  // namespace kv
