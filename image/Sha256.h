#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/Crypto.h"

namespace kv {

// SHA-256 (FIPS 180-4) from the cryptography library; a copy of a running
// hash finishes without ending the original.
class Sha256 {
public:
    Sha256() : hash_(crypto::Hash::Kind::Sha256) {}
    void update(const uint8_t* data, size_t length) { hash_.update(data, length); }
    // The digest; the object is spent afterwards.
    std::array<uint8_t, 32> finish();
    // The same in lower-case hex.
    std::string finishHex();

private:
    crypto::Hash hash_;
};

// Lower-case hex of the digest of these bytes.
std::string sha256Hex(const uint8_t* data, size_t length);
inline std::string sha256Hex(const std::vector<uint8_t>& bytes) {
    return sha256Hex(bytes.data(), bytes.size());
}

}  // namespace kv
