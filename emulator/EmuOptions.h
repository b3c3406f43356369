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
    uint32_t replyDelayMs = 0;
    bool help = false;

    // --- A fleet: many printers from one process ---
    std::string fleetFile;          // one printer a line (see FleetFile.h)
    bool allowNonLoopback = false;  // let the file name addresses outside 127.0.0.0/8
    // The options given apart from those two, which every printer of a
    // fleet starts from.
    std::vector<std::string> printerArgs;

    // --- USB printer gadget (served there instead of TCP when set) ---
    std::string gadgetNode;  // e.g. /dev/g_printer0
    std::string usbSerial;   // empty: the model name hex-coded, as KV printers report it
    uint16_t usbProductId = 0x0001;
    uint32_t statusRepeatMs = 300;
    std::optional<size_t> unplugAfterImageBytes;
    std::optional<size_t> stopReadingAfterImageBytes;
    std::optional<uint32_t> unaskedStatusMs;
};

extern const char* const kEmuUsage;

// The options, or the reason they are refused in `error`.
std::optional<EmuOptions> parseEmuOptions(const std::vector<std::string>& args, std::string& error);

// What kvprinter-emu prints on exit: connections, bytes received, the bytes
// taken in flash mode with their SHA-256, the firmware before and after.
std::string exitSummary(const PrinterModel& model, size_t connectionsServed);
// The same for a printer served on a USB gadget, with the times it was
// plugged in.
std::string gadgetExitSummary(const PrinterModel& model, size_t plugs);

// A USB serial number that names the printer: the "MDL:" value of the
// device ID hex-coded (empty without one).
std::string serialNamingModel(const std::string& deviceId);

}  // namespace kv::emulator
