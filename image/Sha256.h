#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// SHA-256 (FIPS 180-4), for the emulator's summary of what it received;
// a copy of a running hash finishes without ending the original.
class Sha256 {
public:
    Sha256();
    void update(const uint8_t* data, size_t length);
    // The digest; the object is spent afterwards.
    std::array<uint8_t, 32> finish();
    // The same in lower-case hex.
    std::string finishHex();

private:
    void block(const uint8_t* chunk);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t totalBytes_ = 0;
};

// Lower-case hex of the digest of these bytes.
std::string sha256Hex(const uint8_t* data, size_t length);
inline std::string sha256Hex(const std::vector<uint8_t>& bytes) {
    return sha256Hex(bytes.data(), bytes.size());
}

}  // namespace kv
