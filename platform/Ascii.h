#pragma once

namespace kv::platform {

// Character classes of plain ASCII text, whatever the C library's locale.
constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace kv::platform
