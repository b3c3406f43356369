#pragma once
#include <string>
#include <string_view>

#include "state/Context.h"

namespace kv {

// `kvflash --identify A.B.C.D[:PORT]`: finds one Ethernet printer the way
// "Find Ethernet Printer" does and reports what the dialog would show.
struct IdentifyResult {
    bool connected = false;
    bool idRead = false;
    bool ready = false;
    std::string model;
    std::string port;
    std::string language;
    std::string logicBoard;
    std::string firmwareVersion;
    std::string status;  // the dialog's status line
};

inline constexpr const char* kDefaultEthernetPort = "10001";

// Puts "A.B.C.D[:PORT]" into the four address texts and the port text
// (default 10001). False unless the address has exactly four parts.
bool setEthernetTarget(ShellState& shell, std::string_view target);

// Connect, read the ID, decode it, ask for readiness, close.
IdentifyResult identifyEthernetPrinter(Context& ctx);

// The report, one "Name: value" line each.
std::string formatIdentifyResult(const IdentifyResult& result);

// The whole command; the report goes to `out`. Exit code: 0 when the
// printer was identified (ready or not), 1 when it could not be, 2 for a
// bad target.
int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out);

}  // namespace kv
