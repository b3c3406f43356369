#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv {

// The optional "KV_FIRMWARE" header at the start of an image file.
inline constexpr std::string_view kFirmwareMagic = "KV_FIRMWARE";
inline constexpr uint32_t kFirmwareHeaderSize = 22;
inline constexpr uint16_t kFirmwareChecksum = 0xABCD;
inline constexpr size_t kHeaderCheckByteOffset = 16;
inline constexpr size_t kHeaderFixupOffset = 18;
inline constexpr size_t kHeaderVersionOffset = 20;

// Sum of the buffer's 16-bit little-endian words modulo 65536; an odd last
// byte counts as a word with a zero high byte.
uint16_t firmwareChecksum(const uint8_t* data, size_t length);

// The payload length (payload at offset 22) of a valid headed image; -1 when
// the buffer is not a headed image (send it whole); -2 for a headed image
// that must not be sent. *payload is null unless the result is >= 0.
int32_t CheckFirmwareHeader(const uint8_t* data, uint32_t length, const uint8_t** payload);

// Why CheckFirmwareHeader decided as it did, for people.
struct FirmwareHeaderReport {
    int32_t result = -1;
    uint16_t checksum = 0;  // over the whole buffer
    bool hasMagic = false;  // at least 22 bytes starting with the magic
    bool complementOk = false;
    uint8_t versionMajor = 0;
    uint8_t versionMinor = 0;
};
FirmwareHeaderReport examineFirmwareHeader(const uint8_t* data, uint32_t length);

// A headed image around `payload`: magic, the check byte and its complement,
// the header version, and bytes 18-19 set so the whole-file sum is 0xABCD.
// The payload must leave the image within 32-bit lengths.
std::vector<uint8_t> buildHeadedImage(const uint8_t* payload, size_t payloadLength,
                                      uint8_t versionMajor, uint8_t versionMinor,
                                      uint8_t checkByte = 0x5A);

}  // namespace kv
