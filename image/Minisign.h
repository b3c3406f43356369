#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/TrustedKeys.h"

namespace kv {

using platform::MinisignKey;
using platform::TrustedKey;
using platform::TrustedKeys;

// minisign's files, at most this long: a key is about 110 bytes, a
// signature a few hundred.
inline constexpr uint64_t kMinisignFileLimit = 4096;

// A .minisig file. "ED" signs the BLAKE2b-512 hash of the file (what
// minisign writes by default), "Ed" the whole file (minisign -l, refused).
struct MinisignSignature {
    bool prehashed = false;
    std::array<uint8_t, 8> keyId{};
    std::array<uint8_t, 64> signature{};
    std::string trustedComment;  // after "trusted comment: ", without the line end
    std::array<uint8_t, 64> globalSignature{};
};

template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string reason;  // why there is none
};

// A .pub file: an untrusted comment line, then base64 of "Ed", the key ID
// and the key. Lines end in LF or CRLF.
Parsed<MinisignKey> parseMinisignKey(std::string_view text);
Parsed<MinisignSignature> parseMinisignSignature(std::string_view text);

// A key ID as minisign shows it: the 8 bytes in reverse order, as 16
// upper-case hexadecimal digits.
std::string keyIdText(const std::array<uint8_t, 8>& id);

}  // namespace kv
