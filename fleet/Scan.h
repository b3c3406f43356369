#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "fleet/PrinterWorld.h"
#include "state/PrinterData.h"

namespace kv::fleet {

// What an address turned out to be.
enum class Reach {
    Found,    // a KV printer answered its ID
    Refused,  // no connection within the bound
    Silent,   // connected, but no ID came
    NotKv,    // an ID came, but names no KV printer
};
std::string_view reachName(Reach reach);

// One address as Find Ethernet Printer saw it.
struct ScanResult {
    Endpoint endpoint;
    Reach reach = Reach::Refused;
    bool ready = false;
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
// and what it found; the socket is closed again.
ScanResult scanPrinter(PrinterWorld& world);

}  // namespace kv::fleet
