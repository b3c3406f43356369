#include "image/ImageSummary.h"

#include <algorithm>
#include <vector>

#include "image/FirmwareMarker.h"
#include "image/Sha256.h"

namespace kv {

// Read in pieces, so that an image of any size costs the reader no more
// than one piece.
ImageSummary summarizeImageFile(platform::FileReader& files, const std::string& path,
                                uint64_t maxBytes) {
    ImageSummary summary;
    platform::OpenedFile opened = files.openRegular(path);
    if (!opened.file) {
        summary.reason = opened.reason;
        return summary;
    }
    platform::ReadableFile& file = *opened.file;
    const auto tooLarge = [&](uint64_t size) {
        summary.size = size;
        summary.reason = "larger than " + std::to_string(maxBytes) + " bytes";
        return summary;
    };
    if (file.size() > maxBytes) return tooLarge(file.size());
    Sha256 hash;
    FirmwareMarkerScanner marker;
    std::vector<uint8_t> piece(1 << 20);
    uint64_t total = 0;
    // Up to one byte past the limit: the file may have grown since it was
    // opened.
    while (true) {
        const int64_t got = file.read(piece.data(), piece.size());
        if (got < 0) {
            summary.reason = file.errorText();
            return summary;
        }
        if (got == 0) break;
        total += static_cast<uint64_t>(got);
        if (total > maxBytes) return tooLarge(std::max(file.size(), total));
        hash.update(piece.data(), static_cast<size_t>(got));
        marker.feed(piece.data(), static_cast<size_t>(got));
    }
    summary.readable = true;
    summary.size = total;
    summary.version = marker.version();
    summary.sha256 = hash.finishHex();
    return summary;
}

}  // namespace kv
