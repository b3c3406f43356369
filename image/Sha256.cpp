#include "image/Sha256.h"

#include <algorithm>

namespace kv {

std::array<uint8_t, 32> Sha256::finish() {
    const std::string digest = hash_.finish();
    std::array<uint8_t, 32> out{};
    std::copy_n(digest.begin(), out.size(), out.begin());
    return out;
}

std::string Sha256::finishHex() {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : finish()) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string sha256Hex(const uint8_t* data, size_t length) {
    Sha256 hash;
    hash.update(data, length);
    return hash.finishHex();
}

}  // namespace kv
