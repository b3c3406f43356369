#pragma once
#include <string>
#include <string_view>

#include "state/Context.h"

namespace kv {

// `kvflash --identify A.B.C.D[:PORT]`: "Find Ethernet Printer" on that
// address, and what the dialog then shows.
struct IdentifyResult {
    bool idRead = false;
    bool ready = false;
    std::string model;
    std::string port;
    std::string language;
    std::string logicBoard;
    std::string firmwareVersion;
    std::string status;  // the dialog's status line
};

// Runs findEthernetPrinter on the address and port texts and reads the
// fields it filled.
IdentifyResult identifyEthernetPrinter(Context& ctx);

// The report, one "Name: value" line each.
std::string formatIdentifyResult(const IdentifyResult& result);

// The whole command; the report goes to `out`. Exit code: 0 when the
// printer was identified (ready or not), 1 when it could not be, 2 for a
// target that is not A.B.C.D[:PORT].
int runIdentifyCommand(Context& ctx, std::string_view target, std::string& out);

}  // namespace kv
