#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/PrinterWorld.h"
#include "state/PrinterData.h"

namespace kv::fleet {

// What an address turned out to be.
enum class Reach {
    Found,    // a KV printer answered its ID
    Refused,  // the connection was refused, or the address is unreachable
    Silent,   // no answer to the connection within its bound
    NoReply,  // connected, but no device ID came back
    NotKv,    // an ID came, but names no KV printer
};
// The same word in the count line, --verbose and the JSON "reason".
std::string_view reachName(Reach reach);

// One address as Find Ethernet Printer saw it.
struct ScanResult {
    Endpoint endpoint;
    // False for a target a stopped scan never looked at.
    bool scanned = false;
    Reach reach = Reach::Refused;
    bool ready = false;
    // The ready check's two status bytes, when it got a reply.
    std::optional<std::array<uint8_t, 2>> statusBytes;
    PrinterData printer;
    // The whole "FWV:" value of its ID, where it has one.
    std::optional<std::string> reportedVersion;
    // As the dialog's fields show them.
    std::string model;
    std::string firmware;
    std::string logicBoard;
    std::string language;
    std::string status;
};

// Find Ethernet Printer in `world` (whose bounds should be kScanBounds),
// and what it found; the socket is closed again. A device counts as a KV
// printer by isKvPrinterId with `makers`.
ScanResult scanPrinter(PrinterWorld& world, const std::vector<std::string>& makers);
// What `world`'s last Find Ethernet Printer found (`ready`: what it said).
ScanResult identityOf(const PrinterWorld& world, bool ready,
                      const std::vector<std::string>& makers);

// How many addresses ended each way.
struct ReachCounts {
    size_t found = 0, refused = 0, silent = 0, noReply = 0, notKv = 0;
    size_t misses() const { return refused + silent + noReply + notKv; }
};
ReachCounts countReaches(const std::vector<ScanResult>& results);
// "3 printers found; 1 address refused, 250 silent, 0 no-reply, 1 not-kv"
std::string reachCountsText(const ReachCounts& counts);
// The misses alone: "1 address refused, 250 silent, 0 no-reply, 1 not-kv"
std::string missCountsText(const ReachCounts& counts);

}  // namespace kv::fleet
