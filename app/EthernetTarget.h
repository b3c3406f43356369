#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "state/ShellState.h"

namespace kv {

// "A.B.C.D[:PORT]" as typed into the Ethernet fields: the four address
// texts and the port text.
struct EthernetTarget {
    std::array<std::string, 4> octets;
    std::string port;
};

inline constexpr const char* kDefaultEthernetPort = "10001";

// Exactly four non-empty address parts split by '.', and a port of one to
// five decimal digits after ':' (10001 when none is given). The parts
// themselves are judged later, as typed ones are; nothing for any other
// shape.
std::optional<EthernetTarget> parseEthernetTarget(std::string_view text);

// The target into the address and port texts, each cut to its field.
void setEthernetTexts(ShellState& shell, const EthernetTarget& target);

}  // namespace kv
