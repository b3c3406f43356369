#include "image/ImageSummary.h"

#include "image/FirmwareMarker.h"
#include "image/Sha256.h"

namespace kv {

ImageSummary summarizeImage(const uint8_t* data, size_t length) {
    ImageSummary summary;
    summary.readable = true;
    summary.size = length;
    summary.version = firmwareVersionInImage(data, length);
    summary.sha256 = sha256Hex(data, length);
    return summary;
}

ImageSummary summarizeImageFile(platform::FileReader& files, const std::string& path,
                                uint64_t maxBytes) {
    const FileBytes file = readFileBytes(files, path, maxBytes);
    switch (file.status) {
        case FileBytes::Status::Ok: return summarizeImage(file.bytes.data(), file.bytes.size());
        case FileBytes::Status::TooLarge: {
            ImageSummary summary;
            summary.size = file.size;
            summary.reason = "larger than " + std::to_string(maxBytes) + " bytes";
            return summary;
        }
        case FileBytes::Status::Unreadable: break;
    }
    ImageSummary summary;
    summary.reason = file.reason;
    return summary;
}

}  // namespace kv
