#pragma once
#include <optional>
#include <string>
#include <vector>

namespace kv::entry {

// One command of the terminal front end, as a click would be.
struct ConsoleCommand {
    enum class Kind { Find, Ethernet, Select, Flash, Ready, Help, Exit };
    Kind kind;
    std::string argument;  // address for Ethernet, path for Select
};

struct Options {
    bool help = false;
    bool version = false;
    bool console = false;
    bool yes = false;
    bool trace = false;
    bool simulate = false;
    bool fast = false;
    bool listQueues = false;
    bool restoreQueues = false;
    std::optional<std::string> identify;
    std::vector<std::string> simUsb;
    std::vector<std::string> simLpt[3];
    std::vector<ConsoleCommand> commands;

    bool customSimulatedWorld() const {
        return !simUsb.empty() || !simLpt[0].empty() || !simLpt[1].empty() || !simLpt[2].empty();
    }
};

struct ParseResult {
    Options options;
    std::string error;  // a usage error, one line; empty when parsing went well
};

ParseResult parseOptions(const std::vector<std::string>& args);

// "A.B.C.D[:PORT]" split into the four octet texts and the port text
// (10001 when none is given). Nothing for a malformed target.
struct EthernetTarget {
    std::string octets[4];
    std::string port;
};
std::optional<EthernetTarget> parseEthernetTarget(const std::string& text);

extern const char* const kUsageText;

}  // namespace kv::entry
