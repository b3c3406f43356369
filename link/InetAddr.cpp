#include "link/InetAddr.h"

#include <bit>
#include <climits>
#include <optional>

#include "platform/Ascii.h"

namespace kv {

namespace {

using platform::isAsciiDigit;

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// One number in C notation starting at text[at] (a digit). Advances `at`
// past it; nothing when it exceeds 32 bits.
std::optional<uint32_t> readNumber(std::string_view text, size_t& at) {
    int base = 10;
    if (text[at] == '0') {
        base = 8;
        if (at + 2 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
            digitValue(text[at + 2]) < 16) {
            base = 16;
            at += 2;
        }
    }
    uint64_t value = 0;
    while (at < text.size() && digitValue(text[at]) < base) {
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digitValue(text[at]));
        if (value > 0xFFFFFFFFull) return std::nullopt;
        ++at;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

uint32_t hostToNetwork32(uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) |
               (value << 24);
    }
    return value;
}

uint32_t inetAddr(std::string_view text) {
    uint32_t parts[4] = {};
    size_t count = 0;
    size_t at = 0;
    uint32_t last = 0;
    for (;;) {
        if (at >= text.size() || !isAsciiDigit(text[at])) return kInaddrNone;
        const std::optional<uint32_t> number = readNumber(text, at);
        if (!number) return kInaddrNone;
        last = *number;
        if (at < text.size() && text[at] == '.') {
            if (count >= 3 || last > 0xFF) return kInaddrNone;
            parts[count++] = last;
            ++at;
            continue;
        }
        break;
    }
    if (at < text.size() && !isSpace(text[at])) return kInaddrNone;
    static constexpr uint32_t kMaxLast[4] = {0xFFFFFFFFu, 0xFFFFFFu, 0xFFFFu, 0xFFu};
    if (last > kMaxLast[count]) return kInaddrNone;
    uint32_t host = last;
    for (size_t i = 0; i < count; ++i) host |= parts[i] << (24 - 8 * i);
    return hostToNetwork32(host);
}

uint16_t portFromText(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && isSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int64_t value = 0;
    while (at < text.size() && isAsciiDigit(text[at])) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
        ++at;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(value)) & 0xFFFFu);
}

}  // namespace kv
