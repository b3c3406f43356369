#include "emulator/EmuOptions.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <utility>

#include "image/FileBytes.h"
#include "platform/Format.h"

namespace kv::emulator {

const char* const kEmuUsage =
    "usage: kvprinter-emu [options]\n"
    "Serves an emulated KV printer over TCP, one connection after another, or on a USB\n"
    "printer gadget (--gadget).\n"
    "  --listen A.B.C.D[:PORT]   address to listen on (default 127.0.0.1:10001; port 0: any free)\n"
    "  --device-id TEXT          IEEE 1284 device ID answered to <SA08>\n"
    "  --status B3,B4            status bytes 3 and 4 of every status reply (e.g. 0,0x01)\n"
    "  --busy                    set the busy bit 0x20 of status byte 4\n"
    "  --reply-split N           send replies in pieces of N bytes\n"
    "  --piece-gap MS            pause between reply pieces (default 50)\n"
    "  --reply-delay MS          wait MS before each reply (a printer slow to answer)\n"
    "  --silent                  accept requests and never answer\n"
    "  --status-reply HEX        answer status requests with exactly these bytes (e.g. 533030)\n"
    "  --drop-after N            close the connection once N bytes were received on it\n"
    "  --link tcp|usb|parallel   request set spoken on the connection (default tcp: <SA08>, <SS>;\n"
    "                            usb/parallel: ESC I S/N/E/C, ESC I A 05, or the ZOR1 requests)\n"
    "  --firmware TEXT           firmware text of the E, C and A replies (default: the ID's FWV "
    "value)\n"
    "  --zor1                    ZOR1 family: answers 10 AA 55 80 54 AB and GS I A only\n"
    "  --hw-status B             the ZOR1 status byte (default 0)\n"
    "  --version-chars XXXX      the four characters answered to GS I A\n"
    "  --version-prefix          start the GS I A reply with AA 55\n"
    "  --version-bursts N[,N..]  piece sizes of the GS I A reply (e.g. 4,2)\n"
    "flash programming (ESC *FR, then <SA15> answered with the ready text; the image;\n"
    "a reset, then the image's FWV: version):\n"
    "  --flash-ready-text TEXT   reply to <SA15> (default FLASH READY)\n"
    "  --flash-quiet MS          the image has ended after MS without a byte (default 1000)\n"
    "  --reset-time MS           how long the printer is away after the image (default 5000)\n"
    "faults:\n"
    "  --not-ready               set bit 0x80 of status byte 3 (not ready)\n"
    "  --no-flash-ready          answer <SA15> without FLASH READY\n"
    "  --late-flash-ready        answer ESC I A 0F with a plain status first, the reply with\n"
    "                            FLASH READY behind it (usb/parallel)\n"
    "  --silent-after-fr         answer nothing at all from ESC *FR on\n"
    "  --drop-image-after N      close the connection after N image bytes\n"
    "  --short-writes N          take at most N bytes at a time (a slow printer)\n"
    "  --never-back              never answer again after the image\n"
    "  --stop-reading-after-image N  stops reading after N image bytes\n"
    "memory:\n"
    "  --keep-bytes N            keep at most N bytes of what arrives and of the image (default "
    "and\n"
    "                            most 67108864); beyond, they are counted and hashed only\n"
    "  --paper-out               set bit 0x01 of status byte 3 (out of paper)\n"
    "USB printer gadget (Linux, as root; configfs, libcomposite, usb_f_printer and a device\n"
    "controller such as dummy_hcd loaded):\n"
    "  --gadget NODE             serve on the printer gadget NODE (e.g. /dev/g_printer0) instead "
    "of\n"
    "                            TCP; the printer is plugged in at start, leaves the bus for its "
    "reset\n"
    "                            after an image and comes back with the image's version\n"
    "  --usb-serial TEXT         its USB serial number (default: the model name hex-coded)\n"
    "  --usb-product-id N        its USB product ID (default 0x0001)\n"
    "  --status-repeat MS        offers its status again MS after the host took the last (default "
    "300)\n"
    "  --unplug-after-image N    is pulled out after N image bytes, for good\n"
    "  --unasked-status MS       offers its status MS after the host's last byte, read or not\n"
    "many printers from one process:\n"
    "  --fleet FILE              serve every printer FILE names, one a line:\n"
    "                            ADDRESS[:PORT] DEVICE-ID [FAULT ...] (port 10001 by default; a\n"
    "                            FAULT is an option above without its dashes, NAME or NAME=VALUE,\n"
    "                            e.g. drop-image-after=4096 or not-ready; the other options given\n"
    "                            apply to every printer first, --keep-bytes defaults to 1048576)\n"
    "  --allow-non-loopback      let FILE name addresses outside 127.0.0.0/8\n"
    "  --help                    this text\n"
    "On exit (SIGINT, SIGTERM) a summary goes to stdout: flashes, image bytes and their\n"
    "SHA-256, the firmware version before and after; with --fleet one line per printer.\n";

namespace {

std::optional<std::vector<uint64_t>> numberList(std::string_view text, uint64_t max) {
    std::vector<uint64_t> out;
    for (;;) {
        const size_t comma = text.find(',');
        const std::optional<uint64_t> n = platform::parseNumber(text.substr(0, comma), max);
        if (!n) return std::nullopt;
        out.push_back(*n);
        if (comma == std::string_view::npos) return out;
        text.remove_prefix(comma + 1);
    }
}

std::optional<std::vector<uint8_t>> hexBytes(std::string_view text) {
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') continue;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const std::optional<uint64_t> b = platform::parseNumber("0x" + digits.substr(i, 2), 0xFF);
        if (!b) return std::nullopt;
        out.push_back(static_cast<uint8_t>(*b));
    }
    return out;
}

// The options as they are read, with what is settled once all are read:
// the busy bit, and a gadget's link kind.
struct Draft {
    EmuOptions options;
    bool busy = false;
    bool linkGiven = false;
    bool listenGiven = false;
};

using Value = const std::string&;

// `value` is empty for an option that takes none; false refuses it.
struct Option {
    std::string_view name;
    bool takesValue;
    bool (*apply)(Draft& d, Value value);
};

bool on(bool& flag) { return flag = true; }

bool setBits(uint8_t& byte, uint8_t bits) {
    byte |= bits;
    return true;
}

bool setText(std::string& field, Value v) {
    field = v;
    return true;
}

template <typename T>
bool setNumber(T& field, Value v, uint64_t max, uint64_t least = 0) {
    const std::optional<uint64_t> n = platform::parseNumber(v, max);
    if (!n || *n < least) return false;
    field = static_cast<T>(*n);
    return true;
}

template <typename T>
bool setNumber(std::optional<T>& field, Value v, uint64_t max, uint64_t least = 0) {
    T number{};
    if (!setNumber(number, v, max, least)) return false;
    field = number;
    return true;
}

bool setListen(EmuOptions& o, Value v) {
    const auto at = parseListenAddress(v, 10001);
    if (!at) return false;
    o.listenAddress = v.substr(0, v.find(':'));
    o.listenPort = at->port;
    return true;
}

bool setStatusBytes(PrinterConfig& p, Value v) {
    const auto list = numberList(v, 0xFF);
    if (!list || list->size() != 2) return false;
    p.statusByte3 = static_cast<uint8_t>((*list)[0]);
    p.statusByte4 = static_cast<uint8_t>((*list)[1]);
    return true;
}

bool setStatusReply(PrinterConfig& p, Value v) {
    const auto bytes = hexBytes(v);
    if (bytes) p.statusReplyOverride = *bytes;
    return bytes.has_value();
}

bool setVersionBursts(PrinterConfig& p, Value v) {
    const auto list = numberList(v, 1024);
    if (list) p.versionBursts.assign(list->begin(), list->end());
    return list.has_value();
}

bool setLink(Draft& d, Value v) {
    static const std::pair<std::string_view, LinkKind> kinds[] = {
        {"tcp", LinkKind::Tcp}, {"usb", LinkKind::Usb}, {"parallel", LinkKind::Parallel}};
    for (const auto& [name, kind] : kinds) {
        if (v != name) continue;
        d.options.printer.link = kind;
        d.linkGiven = true;
        return true;
    }
    return false;
}

constexpr uint64_t kMaxMs = 3600000;
constexpr uint64_t kMaxPiece = 1u << 20;

// Every option once, with what it sets.
const Option kOptions[] = {
    {"--help", false, [](Draft& d, Value) { return on(d.options.help); }},
    {"--fleet", true,
     [](Draft& d, Value v) { return !v.empty() && setText(d.options.fleetFile, v); }},
    {"--allow-non-loopback", false, [](Draft& d, Value) { return on(d.options.allowNonLoopback); }},
    {"--silent", false, [](Draft& d, Value) { return on(d.options.printer.silent); }},
    {"--busy", false, [](Draft& d, Value) { return on(d.busy); }},
    {"--zor1", false, [](Draft& d, Value) { return on(d.options.printer.zor1Family); }},
    {"--version-prefix", false,
     [](Draft& d, Value) { return on(d.options.printer.versionPrefixAA55); }},
    {"--not-ready", false,
     [](Draft& d, Value) { return setBits(d.options.printer.statusByte3, 0x80); }},
    {"--paper-out", false,
     [](Draft& d, Value) { return setBits(d.options.printer.statusByte3, 0x01); }},
    {"--no-flash-ready", false,
     [](Draft& d, Value) { return on(d.options.printer.flashReadyMissing); }},
    {"--late-flash-ready", false,
     [](Draft& d, Value) { return on(d.options.printer.lateFlashReady); }},
    {"--silent-after-fr", false,
     [](Draft& d, Value) { return on(d.options.printer.silentAfterFlashRequest); }},
    {"--never-back", false, [](Draft& d, Value) { return on(d.options.printer.neverComesBack); }},
    {"--listen", true,
     [](Draft& d, Value v) { return on(d.listenGiven) && setListen(d.options, v); }},
    {"--device-id", true, [](Draft& d, Value v) { return setText(d.options.printer.deviceId, v); }},
    {"--status", true, [](Draft& d, Value v) { return setStatusBytes(d.options.printer, v); }},
    {"--reply-split", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.replySplit, v, kMaxPiece); }},
    {"--piece-gap", true,
     [](Draft& d, Value v) { return setNumber(d.options.pieceGapMs, v, 60000); }},
    {"--reply-delay", true,
     [](Draft& d, Value v) { return setNumber(d.options.replyDelayMs, v, 600000); }},
    {"--status-reply", true,
     [](Draft& d, Value v) { return setStatusReply(d.options.printer, v); }},
    {"--drop-after", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.dropAfterBytes, v, UINT32_MAX); }},
    {"--link", true, [](Draft& d, Value v) { return setLink(d, v); }},
    {"--firmware", true,
     [](Draft& d, Value v) { return setText(d.options.printer.firmwareText, v); }},
    {"--hw-status", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.hwStatusByte, v, 0xFF); }},
    {"--version-chars", true,
     [](Draft& d, Value v) { return v.size() == 4 && setText(d.options.printer.versionChars, v); }},
    {"--version-bursts", true,
     [](Draft& d, Value v) { return setVersionBursts(d.options.printer, v); }},
    {"--flash-ready-text", true,
     [](Draft& d, Value v) { return setText(d.options.printer.flashReadyText, v); }},
    {"--flash-quiet", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.flashQuietMs, v, kMaxMs); }},
    {"--reset-time", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.resetMs, v, kMaxMs); }},
    {"--keep-bytes", true,
     [](Draft& d, Value v) {
         return setNumber(d.options.printer.keepBytes, v, kMaxFirmwareImageBytes);
     }},
    {"--drop-image-after", true,
     [](Draft& d, Value v) {
         return setNumber(d.options.printer.dropAfterImageBytes, v, UINT32_MAX);
     }},
    {"--short-writes", true,
     [](Draft& d, Value v) { return setNumber(d.options.printer.writeLimit, v, kMaxPiece, 1); }},
    {"--gadget", true,
     [](Draft& d, Value v) { return v.starts_with('/') && setText(d.options.gadgetNode, v); }},
    {"--usb-serial", true, [](Draft& d, Value v) { return setText(d.options.usbSerial, v); }},
    {"--usb-product-id", true,
     [](Draft& d, Value v) { return setNumber(d.options.usbProductId, v, 0xFFFF); }},
    {"--status-repeat", true,
     [](Draft& d, Value v) { return setNumber(d.options.statusRepeatMs, v, kMaxMs, 1); }},
    {"--unasked-status", true,
     [](Draft& d, Value v) { return setNumber(d.options.unaskedStatusMs, v, kMaxMs, 1); }},
    {"--unplug-after-image", true,
     [](Draft& d, Value v) { return setNumber(d.options.unplugAfterImageBytes, v, UINT32_MAX); }},
    {"--stop-reading-after-image", true,
     [](Draft& d, Value v) {
         return setNumber(d.options.stopReadingAfterImageBytes, v, UINT32_MAX);
     }},
};

}  // namespace

std::optional<EmuOptions> parseEmuOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    Draft d;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const Option& o) { return o.name == a; });
        if (option == std::end(kOptions)) {
            error = "unknown option " + a;
            return std::nullopt;
        }
        std::string value;
        if (option->takesValue) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!option->apply(d, value)) {
            error = "bad value for " + a + ": " + value;
            return std::nullopt;
        }
        // What a printer of a fleet starts from.
        if (a != "--help" && a != "--fleet" && a != "--allow-non-loopback") {
            d.options.printerArgs.push_back(a);
            if (option->takesValue) d.options.printerArgs.push_back(value);
        }
    }
    EmuOptions& o = d.options;
    if (!o.fleetFile.empty() &&
        (d.listenGiven || !o.gadgetNode.empty() || o.printer.link != LinkKind::Tcp)) {
        error = "--fleet serves TCP printers on the addresses its file gives";
        return std::nullopt;
    }
    if (d.busy) o.printer.statusByte4 |= 0x20;
    // A gadget is a USB printer unless told otherwise.
    if (!o.gadgetNode.empty() && !d.linkGiven) o.printer.link = LinkKind::Usb;
    if (!o.gadgetNode.empty() && o.usbSerial.empty())
        o.usbSerial = serialNamingModel(o.printer.deviceId);
    // A connection carries replies to requests only: no status of its own
    // between requests, which a stream would repeat without end.
    o.printer.statusAtPowerUp = false;
    o.printer.statusStaysPending = false;
    return o;
}

namespace {

std::string flashLines(const PrinterModel& model) {
    const FlashSummary flash = model.flashSummary();
    std::string out;
    out += "bytes received: " + std::to_string(model.receivedCount()) + "\n";
    out += "flashes: " + std::to_string(flash.flashes) + "\n";
    out += "flash-mode bytes: " + std::to_string(flash.imageBytes) +
           (flash.incomplete ? " (cut off)" : "") + "\n";
    out += "flash-mode SHA-256: " + flash.imageSha256 + "\n";
    out += "firmware before: " + flash.versionBefore + "\n";
    out += "firmware after: " + flash.versionNow + "\n";
    out += "printer state: " + std::string(flashPhaseName(flash.phase)) + "\n";
    return out;
}

}  // namespace

std::string exitSummary(const PrinterModel& model, size_t connectionsServed) {
    return "connections served: " + std::to_string(connectionsServed) + "\n" + flashLines(model);
}

std::string gadgetExitSummary(const PrinterModel& model, size_t plugs) {
    return "times plugged in: " + std::to_string(plugs) + "\n" + flashLines(model);
}

std::string serialNamingModel(const std::string& deviceId) {
    static const char digits[] = "0123456789ABCDEF";
    const size_t key = deviceId.find("MDL:");
    if (key == std::string::npos) return {};
    const size_t from = key + 4;
    const size_t end = deviceId.find(';', from);
    const std::string model =
        deviceId.substr(from, end == std::string::npos ? std::string::npos : end - from);
    std::string out;
    for (unsigned char c : model) {
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    return out;
}

}  // namespace kv::emulator
