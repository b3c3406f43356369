#pragma once
#include <optional>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"

namespace kv::emulator {

// The command line of kvprinter-emu.
struct EmuOptions {
    PrinterConfig printer;
    std::string listenAddress = "127.0.0.1";
    uint16_t listenPort = 10001;
    uint32_t pieceGapMs = 50;
    bool help = false;
};

extern const char* const kEmuUsage;

// The options, or the reason they are refused in `error`.
std::optional<EmuOptions> parseEmuOptions(const std::vector<std::string>& args, std::string& error);

// What kvprinter-emu prints on exit: connections, bytes received, the bytes
// taken in flash mode with their SHA-256, the firmware before and after.
std::string exitSummary(const PrinterModel& model, size_t connectionsServed);

}  // namespace kv::emulator
