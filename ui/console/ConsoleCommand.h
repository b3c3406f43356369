#pragma once
#include <optional>
#include <string>

namespace kv::ui {

// One command of the terminal front end, as a click would be.
struct ConsoleCommand {
    enum class Kind { Find, Ethernet, Select, Flash, Ready, Help, Exit };
    Kind kind;
    std::string argument;  // address for Ethernet, path for Select
};

// "A.B.C.D[:PORT]" split into the four octet texts and the port text
// (10001 when none is given). Nothing for a malformed target.
struct EthernetTarget {
    std::string octets[4];
    std::string port;
};
std::optional<EthernetTarget> parseEthernetTarget(const std::string& text);

}  // namespace kv::ui
