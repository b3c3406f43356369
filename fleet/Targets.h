#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/FileReader.h"

namespace kv::fleet {

// One printer's network address.
struct Endpoint {
    uint32_t address;  // host order
    uint16_t port;
    std::string text() const;  // "A.B.C.D:PORT"
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// Why the targets were refused.
struct TargetError {
    std::string token;           // escaped as the event lines escape, at most 40 characters
    std::optional<size_t> line;  // 1-based, for @FILE
    std::string reason;
};

// The most addresses one run takes (a /16 and a few more).
inline constexpr size_t kMaxTargets = 65536;

// Every address the tokens name, in the order given, duplicates removed
// (the first kept). A token is A.B.C.D[:PORT], A.B.C.D/NN (NN 16..32; up
// to /30 without the network and broadcast addresses), A.B.C.D-E (the last
// octet from D to E) or @FILE, a list file of those, one a line (at least
// one). 0.0.0.0, 255.255.255.255 and 224.0.0.0/4 (multicast) are no
// printer's: a token that reaches one of them is refused whole.
std::variant<std::vector<Endpoint>, TargetError> parseTargets(
    const std::vector<std::string>& tokens, uint16_t defaultPort, platform::FileReader& files);

// One line for the usage error: `bad target "10.0.0.300": ...`.
std::string describe(const TargetError& error);

}  // namespace kv::fleet
