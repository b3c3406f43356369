#include "image/FirmwareHeader.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace kv {
namespace {

bool versionAccepted(uint8_t major, uint8_t minor) {
    const unsigned value = major * 100u + minor;
    return value == 512 || value == 513;
}

}  // namespace

uint16_t firmwareChecksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < length; i += 2) sum += data[i] | (data[i + 1] << 8);
    if (i < length) sum += data[i];
    return static_cast<uint16_t>(sum);
}

FirmwareHeaderReport examineFirmwareHeader(const uint8_t* data, uint32_t length) {
    FirmwareHeaderReport r;
    if (!data) length = 0;
    r.checksum = firmwareChecksum(data, length);
    if (length < kFirmwareHeaderSize ||
        std::memcmp(data, kFirmwareMagic.data(), kFirmwareMagic.size()) != 0)
        return r;
    r.hasMagic = true;
    r.complementOk =
        data[kHeaderCheckByteOffset] == static_cast<uint8_t>(~data[kHeaderCheckByteOffset + 1]);
    r.versionMajor = data[kHeaderVersionOffset];
    r.versionMinor = data[kHeaderVersionOffset + 1];
    if (r.checksum != kFirmwareChecksum) return r;
    // A payload length beyond int32 would read as a refusal code: refuse it
    // outright rather than let a caller misread it.
    if (!r.complementOk || !versionAccepted(r.versionMajor, r.versionMinor) ||
        length - kFirmwareHeaderSize > uint32_t(std::numeric_limits<int32_t>::max())) {
        r.result = -2;
        return r;
    }
    r.result = static_cast<int32_t>(length - kFirmwareHeaderSize);
    return r;
}

int32_t CheckFirmwareHeader(const uint8_t* data, uint32_t length, const uint8_t** payload) {
    if (payload) *payload = nullptr;
    const int32_t result = examineFirmwareHeader(data, length).result;
    if (result >= 0 && payload) *payload = data + kFirmwareHeaderSize;
    return result;
}

std::vector<uint8_t> buildHeadedImage(const uint8_t* payload, size_t payloadLength,
                                      uint8_t versionMajor, uint8_t versionMinor,
                                      uint8_t checkByte) {
    if (payloadLength > std::numeric_limits<uint32_t>::max() - kFirmwareHeaderSize)
        throw std::length_error("firmware payload too large for a headed image");
    std::vector<uint8_t> image(kFirmwareHeaderSize + payloadLength, 0);
    std::memcpy(image.data(), kFirmwareMagic.data(), kFirmwareMagic.size());
    image[kHeaderCheckByteOffset] = checkByte;
    image[kHeaderCheckByteOffset + 1] = static_cast<uint8_t>(~checkByte);
    image[kHeaderVersionOffset] = versionMajor;
    image[kHeaderVersionOffset + 1] = versionMinor;
    if (payloadLength) std::memcpy(image.data() + kFirmwareHeaderSize, payload, payloadLength);
    // Bytes 18-19 sit at an even offset, so they form one whole word and can
    // always make up the difference, whatever the payload's length.
    const uint16_t fixup =
        static_cast<uint16_t>(kFirmwareChecksum - firmwareChecksum(image.data(), image.size()));
    image[kHeaderFixupOffset] = static_cast<uint8_t>(fixup & 0xFF);
    image[kHeaderFixupOffset + 1] = static_cast<uint8_t>(fixup >> 8);
    return image;
}

}  // namespace kv
