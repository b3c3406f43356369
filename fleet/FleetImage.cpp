#include "fleet/FleetImage.h"

#include <filesystem>
#include <system_error>

#include "image/FileBytes.h"
#include "image/FirmwareHeader.h"
#include "image/FirmwareImage.h"
#include "flash/ImageSignature.h"
#include "image/Crypto.h"
#include "image/Sha256.h"

namespace kv::fleet {

FleetImage loadFleetImage(platform::FileReader& files, const platform::TrustedKeys& trust,
                          const std::string& path) {
    FleetImage out;
    FileBytes file = readFileBytes(files, path, kMaxFirmwareImageBytes);
    switch (file.status) {
        case FileBytes::Status::TooLarge:
            out.error = "larger than " + std::to_string(kMaxFirmwareImageBytes) + " bytes";
            return out;
        case FileBytes::Status::Unreadable: out.error = file.reason; return out;
        case FileBytes::Status::Ok: break;
    }
    auto loaded = std::make_shared<PreloadedImage>();
    // Records name the file wherever the run was started from.
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    loaded->path = error ? path : whole.lexically_normal().string();
    loaded->facts.fileName = path.substr(path.find_last_of("/\\") + 1);
    loaded->facts.readable = true;
    loaded->facts.size = file.bytes.size();
    loaded->facts.sha256 = sha256Hex(file.bytes);
    loaded->facts.signature = signatureFactsFor(
        trust, files, path,
        crypto::digestOf(crypto::Hash::Kind::Blake2b512, file.bytes.data(), file.bytes.size()));
    if (!loaded->facts.signature.allows()) {
        out.error = loaded->facts.signature.reason;
        out.refused = true;
        return out;
    }
    out.headed =
        examineFirmwareHeader(file.bytes.data(), static_cast<uint32_t>(file.bytes.size())).hasMagic;
    auto image = std::make_shared<FirmwareImage>(makeFirmwareImage(std::move(file.bytes)));
    loaded->facts.version = image->versionText;
    loaded->image = std::move(image);
    out.image = std::move(loaded);
    return out;
}

}  // namespace kv::fleet
