#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv::platform {

// "A.B.C.D" strictly: four decimal parts of one to three digits, each at
// most 255, nothing before or after (none of inet_aton's shortened or
// octal forms). The address in host order.
std::optional<uint32_t> parseDottedDecimal(std::string_view text);

// A port's text: one to five decimal digits, nothing else. Its value,
// which the caller holds to its range (0 and above 65535 included).
std::optional<uint32_t> parsePortDigits(std::string_view text);

// An address in host order as "A.B.C.D".
std::string dottedDecimal(uint32_t hostOrder);

// Between host order and the network order platform::Network takes; the
// swap is its own inverse.
uint32_t swapToNetworkOrder(uint32_t address);

// 127.0.0.0/8, which Linux routes to the loopback device whole.
constexpr bool isLoopback(uint32_t hostOrder) { return (hostOrder >> 24) == 127; }

}  // namespace kv::platform
