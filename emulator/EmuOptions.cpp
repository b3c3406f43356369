#include "emulator/EmuOptions.h"

#include <cstdint>
#include <string_view>

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
    "  --silent                  accept requests and never answer\n"
    "  --status-reply HEX        answer status requests with exactly these bytes (e.g. 533030)\n"
    "  --drop-after N            close the connection once N bytes were received on it\n"
    "  --link tcp|usb|parallel   request set spoken on the connection (default tcp: <SA08>, <SS>;\n"
    "                            usb/parallel: ESC I S/N/E/C, ESC I A 05, or the ZOR1 requests)\n"
    "  --firmware TEXT           firmware text of the E, C and A replies (default: the ID's FWV value)\n"
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
    "memory:\n"
    "  --keep-bytes N            keep at most N bytes of what arrives and of the image (default and\n"
    "                            most 67108864); beyond, they are counted and hashed only\n"
    "  --paper-out               set bit 0x01 of status byte 3 (out of paper)\n"
    "USB printer gadget (Linux, as root; configfs, libcomposite, usb_f_printer and a device\n"
    "controller such as dummy_hcd loaded):\n"
    "  --gadget NODE             serve on the printer gadget NODE (e.g. /dev/g_printer0) instead of\n"
    "                            TCP; the printer is plugged in at start, leaves the bus for its reset\n"
    "                            after an image and comes back with the image's version\n"
    "  --usb-serial TEXT         its USB serial number (default: the model name hex-coded)\n"
    "  --usb-product-id N        its USB product ID (default 0x0001)\n"
    "  --status-repeat MS        offers its status again MS after the host took the last (default 300)\n"
    "  --unplug-after-image N    is pulled out after N image bytes, for good\n"
    "  --stop-reading-after-image N  stops reading after N image bytes\n"
    "  --unasked-status MS       offers its status MS after the host's last byte, read or not\n"
    "  --help                    this text\n"
    "On exit (SIGINT, SIGTERM) a summary goes to stdout: flashes, image bytes and their\n"
    "SHA-256, the firmware version before and after.\n";

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

}  // namespace

std::optional<EmuOptions> parseEmuOptions(const std::vector<std::string>& args, std::string& error) {
    EmuOptions o;
    bool busy = false;
    bool linkGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        const auto bad = [&](const std::string& v) {
            error = "bad value for " + a + ": " + v;
            return std::nullopt;
        };
        if (a == "--help") {
            o.help = true;
        } else if (a == "--silent") {
            o.printer.silent = true;
        } else if (a == "--busy") {
            busy = true;
        } else if (a == "--zor1") {
            o.printer.zor1Family = true;
        } else if (a == "--version-prefix") {
            o.printer.versionPrefixAA55 = true;
        } else if (a == "--not-ready") {
            o.printer.statusByte3 |= 0x80;
        } else if (a == "--paper-out") {
            o.printer.statusByte3 |= 0x01;
        } else if (a == "--no-flash-ready") {
            o.printer.flashReadyMissing = true;
        } else if (a == "--late-flash-ready") {
            o.printer.lateFlashReady = true;
        } else if (a == "--silent-after-fr") {
            o.printer.silentAfterFlashRequest = true;
        } else if (a == "--never-back") {
            o.printer.neverComesBack = true;
        } else if (a == "--listen" || a == "--device-id" || a == "--status" ||
                   a == "--reply-split" || a == "--piece-gap" || a == "--status-reply" ||
                   a == "--drop-after" || a == "--link" || a == "--firmware" ||
                   a == "--hw-status" || a == "--version-chars" || a == "--version-bursts" ||
                   a == "--flash-ready-text" || a == "--flash-quiet" || a == "--reset-time" ||
                   a == "--drop-image-after" || a == "--short-writes" || a == "--gadget" ||
                   a == "--usb-serial" || a == "--usb-product-id" || a == "--status-repeat" ||
                   a == "--unplug-after-image" || a == "--stop-reading-after-image" ||
                   a == "--unasked-status" || a == "--keep-bytes") {
            const std::optional<std::string> v = value();
            if (!v) return std::nullopt;
            if (a == "--listen") {
                const auto at = parseListenAddress(*v, 10001);
                if (!at) return bad(*v);
                o.listenAddress = v->substr(0, v->find(':'));
                o.listenPort = at->port;
            } else if (a == "--device-id") {
                o.printer.deviceId = *v;
            } else if (a == "--status") {
                const auto list = numberList(*v, 0xFF);
                if (!list || list->size() != 2) return bad(*v);
                o.printer.statusByte3 = static_cast<uint8_t>((*list)[0]);
                o.printer.statusByte4 = static_cast<uint8_t>((*list)[1]);
            } else if (a == "--reply-split") {
                const auto n = platform::parseNumber(*v, 1u << 20);
                if (!n) return bad(*v);
                o.printer.replySplit = static_cast<size_t>(*n);
            } else if (a == "--piece-gap") {
                const auto n = platform::parseNumber(*v, 60000);
                if (!n) return bad(*v);
                o.pieceGapMs = static_cast<uint32_t>(*n);
            } else if (a == "--status-reply") {
                const auto b = hexBytes(*v);
                if (!b) return bad(*v);
                o.printer.statusReplyOverride = *b;
            } else if (a == "--drop-after") {
                const auto n = platform::parseNumber(*v, UINT32_MAX);
                if (!n) return bad(*v);
                o.printer.dropAfterBytes = static_cast<size_t>(*n);
            } else if (a == "--link") {
                linkGiven = true;
                if (*v == "tcp") {
                    o.printer.link = LinkKind::Tcp;
                } else if (*v == "usb") {
                    o.printer.link = LinkKind::Usb;
                } else if (*v == "parallel") {
                    o.printer.link = LinkKind::Parallel;
                } else {
                    return bad(*v);
                }
            } else if (a == "--firmware") {
                o.printer.firmwareText = *v;
            } else if (a == "--hw-status") {
                const auto n = platform::parseNumber(*v, 0xFF);
                if (!n) return bad(*v);
                o.printer.hwStatusByte = static_cast<uint8_t>(*n);
            } else if (a == "--version-chars") {
                if (v->size() != 4) return bad(*v);
                o.printer.versionChars = *v;
            } else if (a == "--version-bursts") {
                const auto list = numberList(*v, 1024);
                if (!list) return bad(*v);
                o.printer.versionBursts.assign(list->begin(), list->end());
            } else if (a == "--flash-ready-text") {
                o.printer.flashReadyText = *v;
            } else if (a == "--flash-quiet" || a == "--reset-time") {
                const auto n = platform::parseNumber(*v, 3600000);
                if (!n) return bad(*v);
                (a == "--flash-quiet" ? o.printer.flashQuietMs : o.printer.resetMs) =
                    static_cast<uint32_t>(*n);
            } else if (a == "--keep-bytes") {
                const auto n = platform::parseNumber(*v, kMaxFirmwareImageBytes);
                if (!n) return bad(*v);
                o.printer.keepBytes = *n;
            } else if (a == "--drop-image-after") {
                const auto n = platform::parseNumber(*v, UINT32_MAX);
                if (!n) return bad(*v);
                o.printer.dropAfterImageBytes = static_cast<size_t>(*n);
            } else if (a == "--gadget") {
                if (v->empty() || (*v)[0] != '/') return bad(*v);
                o.gadgetNode = *v;
            } else if (a == "--usb-serial") {
                o.usbSerial = *v;
            } else if (a == "--usb-product-id") {
                const auto n = platform::parseNumber(*v, 0xFFFF);
                if (!n) return bad(*v);
                o.usbProductId = static_cast<uint16_t>(*n);
            } else if (a == "--status-repeat" || a == "--unasked-status") {
                const auto n = platform::parseNumber(*v, 3600000);
                if (!n || *n == 0) return bad(*v);
                if (a == "--status-repeat") {
                    o.statusRepeatMs = static_cast<uint32_t>(*n);
                } else {
                    o.unaskedStatusMs = static_cast<uint32_t>(*n);
                }
            } else if (a == "--unplug-after-image" || a == "--stop-reading-after-image") {
                const auto n = platform::parseNumber(*v, UINT32_MAX);
                if (!n) return bad(*v);
                (a == "--unplug-after-image" ? o.unplugAfterImageBytes
                                             : o.stopReadingAfterImageBytes) = static_cast<size_t>(*n);
            } else if (a == "--short-writes") {
                const auto n = platform::parseNumber(*v, 1u << 20);
                if (!n || *n == 0) return bad(*v);
                o.printer.writeLimit = static_cast<size_t>(*n);
            }
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (busy) o.printer.statusByte4 |= 0x20;
    // A gadget is a USB printer unless told otherwise.
    if (!o.gadgetNode.empty() && !linkGiven) o.printer.link = LinkKind::Usb;
    if (!o.gadgetNode.empty() && o.usbSerial.empty()) o.usbSerial = serialNamingModel(o.printer.deviceId);
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
