#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kv {

// Strict base64 (RFC 4648, the standard alphabet): padded to a multiple of
// four, nothing outside the alphabet, no spare bits set. Nothing for any
// other text.
std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text);

}  // namespace kv
