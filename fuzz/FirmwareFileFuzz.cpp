// Firmware files: the KV_FIRMWARE header and the version marker, in one
// piece and, for the marker, arriving in pieces as the emulator sees it.
#include <algorithm>

#include "fuzz/FuzzWorld.h"
#include "image/FirmwareHeader.h"
#include "image/FirmwareImage.h"
#include "image/FirmwareMarker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    const uint8_t* payload = nullptr;
    const int32_t result = CheckFirmwareHeader(data, static_cast<uint32_t>(size), &payload);
    if (result >= 0) {
        // The payload lies inside the file, behind the header.
        fuzz::require(payload >= data && payload + result <= data + size);
    } else {
        fuzz::require(result == -1 || result == -2);
    }
    (void)examineFirmwareHeader(data, static_cast<uint32_t>(size));

    const std::string whole = firmwareVersionInImage(data, size);
    fuzz::require(whole.size() < kFirmwareVersionTextSize);
    const size_t piece = size == 0 ? 1 : 1 + data[0] % 17;
    FirmwareMarkerScanner scanner;
    for (size_t at = 0; at < size; at += piece) scanner.feed(data + at, std::min(piece, size - at));
    fuzz::require(scanner.version() == whole);
    fuzz::require(makeFirmwareImage(std::vector<uint8_t>(data, data + size)).versionText == whole);
    return 0;
}
