#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "emulator/EmuOptions.h"
#include "image/ListFile.h"
#include "platform/FileReader.h"

namespace kv::emulator {

// One printer of a fleet, as a line of the fleet file gives it:
// `ADDRESS[:PORT] DEVICE-ID [FAULT ...]`. A FAULT is one of kvprinter-emu's
// printer options without its dashes, `NAME` or `NAME=VALUE`
// (drop-image-after=4096, not-ready, no-flash-ready, silent, never-back,
// stop-reading-after-image=0, ...). The device ID is one word: no blanks.
struct FleetPrinter {
    size_t line = 0;
    uint32_t address = 0;  // network order, as TcpServer listens
    uint16_t port = 0;
    EmuOptions options;  // the command line's printer options, then the line's
};

// At most this many printers in one process: each holds a listening socket,
// a connection and a thread.
inline constexpr size_t kMaxFleetPrinters = 500;
// What each printer keeps of what it receives unless --keep-bytes says
// otherwise: the hash proves the image, the bytes are only for a look.
inline constexpr uint64_t kFleetKeepBytes = 1024 * 1024;

using FleetPrinters = std::variant<std::vector<FleetPrinter>, ListFileError>;

// The printers of a fleet file's lines. Refused: a line that is no printer,
// an option a printer of the fleet cannot take (where to listen, a USB
// gadget, a link other than TCP), an address:port named twice, an address
// outside 127.0.0.0/8 unless `options.allowNonLoopback`, more than
// kMaxFleetPrinters.
FleetPrinters parseFleetLines(const std::vector<ListLine>& lines, const EmuOptions& options);

// The same, read from options.fleetFile through the file reader.
FleetPrinters readFleetFile(platform::FileReader& files, const EmuOptions& options);

// The line a fleet printer leaves on stdout at exit:
// `printer A.B.C.D:PORT connections=N received=N flashes=N image-bytes=N
// cut-off=no|yes sha256=HEX before="V" after="V" state=PHASE`.
std::string fleetExitLine(const std::string& endpoint, const PrinterModel& model,
                          size_t connectionsServed);

}  // namespace kv::emulator
