#include "platform/Ipv4.h"

#include <bit>

#include "platform/Ascii.h"

namespace kv::platform {

std::optional<uint32_t> parseDottedDecimal(std::string_view text) {
    uint32_t host = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        size_t digits = 0;
        uint32_t value = 0;
        while (digits < text.size() && digits < 3 && isAsciiDigit(text[digits])) {
            value = value * 10 + static_cast<uint32_t>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        text.remove_prefix(digits);
        host = (host << 8) | value;
    }
    if (!text.empty()) return std::nullopt;
    return host;
}

std::optional<uint32_t> parsePortDigits(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        if (!isAsciiDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::string dottedDecimal(uint32_t hostOrder) {
    return std::to_string(hostOrder >> 24) + "." + std::to_string((hostOrder >> 16) & 0xFF) + "." +
           std::to_string((hostOrder >> 8) & 0xFF) + "." + std::to_string(hostOrder & 0xFF);
}

uint32_t swapToNetworkOrder(uint32_t address) {
    if constexpr (std::endian::native == std::endian::little) {
        return (address >> 24) | ((address >> 8) & 0xFF00u) | ((address << 8) & 0xFF0000u) |
               (address << 24);
    }
    return address;
}

}  // namespace kv::platform
