#include "image/ImageSummary.h"

#include "image/FirmwareMarker.h"
#include "image/Sha256.h"

namespace kv {

// Read in pieces, so that an image of any size costs the reader no more
// than one piece.
ImageSummary summarizeImageFile(platform::FileReader& files, const std::string& path,
                                uint64_t maxBytes) {
    Sha256 hash;
    crypto::Hash blake2b(crypto::Hash::Kind::Blake2b512);
    FirmwareMarkerScanner marker;
    const FileBytes file =
        readFilePieces(files, path, maxBytes, [&](const uint8_t* piece, size_t n, uint64_t) {
            hash.update(piece, n);
            blake2b.update(piece, n);
            marker.feed(piece, n);
        });
    ImageSummary summary;
    summary.size = file.size;
    switch (file.status) {
        case FileBytes::Status::Ok:
            summary.readable = true;
            summary.version = marker.version();
            summary.sha256 = hash.finishHex();
            summary.blake2b = blake2b.finish();
            break;
        case FileBytes::Status::TooLarge:
            summary.reason = "larger than " + std::to_string(maxBytes) + " bytes";
            break;
        case FileBytes::Status::Unreadable:
            summary.size = 0;
            summary.reason = file.reason;
            break;
    }
    return summary;
}

}  // namespace kv
