#pragma once
#include <cstdint>
#include <string_view>

namespace kv {

// The value the dotted-address conversion gives for a text it refuses.
inline constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;

// The dotted IPv4 text as the standard inet_addr reads it: one to four
// numbers split by '.', each decimal, octal (leading 0) or hex (0x); the
// last number fills the bytes left over ("10.1" is 10.0.0.1, "0x7f000001"
// is 127.0.0.1). Trailing blanks are allowed. Result in network byte order,
// kInaddrNone for a bad text.
uint32_t inetAddr(std::string_view text);

// A port text read as atoi reads it (leading blanks, a sign, digits up to the
// first other character, no digits gives 0; out-of-range values stop at the
// int limits), then cut to its low 16 bits.
uint16_t portFromText(std::string_view text);

// 32-bit value between host and network byte order.
uint32_t hostToNetwork32(uint32_t value);

}  // namespace kv
