#include "emulator/FleetFile.h"

#include <set>
#include <string_view>
#include <utility>

#include "emulator/TcpServer.h"
#include "platform/EventText.h"
#include "platform/Ipv4.h"

namespace kv::emulator {

namespace {

// Where and how a printer is reached is the line's (or the fleet's) to say,
// not a fault's.
const std::set<std::string, std::less<>> kNotAFault = {
    "listen",        "device-id",          "link",
    "gadget",        "usb-serial",         "usb-product-id",
    "status-repeat", "unplug-after-image", "unasked-status",
    "fleet",         "allow-non-loopback", "help",
};

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const size_t start = text.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        const size_t end = text.find_first_of(" \t");
        out.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    return out;
}

// The printer of one line, or why the line is refused.
std::variant<FleetPrinter, std::string> printerOf(const ListLine& line, const EmuOptions& fleet) {
    const std::vector<std::string> w = words(line.text);
    if (w.size() < 2) return std::string("expected ADDRESS[:PORT] DEVICE-ID [FAULT ...]");
    const std::optional<ListenAddress> at = parseListenAddress(w[0], 10001);
    if (!at) return "bad address " + platform::quotedEventText(w[0]);
    if (!fleet.allowNonLoopback &&
        !platform::isLoopback(platform::swapToNetworkOrder(at->address))) {
        return "address " + w[0] + " is not on loopback (127.0.0.0/8; --allow-non-loopback)";
    }
    std::vector<std::string> args = {"--keep-bytes", std::to_string(kFleetKeepBytes)};
    args.insert(args.end(), fleet.printerArgs.begin(), fleet.printerArgs.end());
    args.insert(args.end(), {"--device-id", w[1]});
    for (size_t i = 2; i < w.size(); ++i) {
        const size_t equals = w[i].find('=');
        const std::string name = w[i].substr(0, equals);
        if (name.empty() || name.starts_with('-') || kNotAFault.count(name)) {
            return "not a fault: " + platform::quotedEventText(w[i]);
        }
        args.push_back("--" + name);
        if (equals != std::string::npos) args.push_back(w[i].substr(equals + 1));
    }
    std::string error;
    std::optional<EmuOptions> options = parseEmuOptions(args, error);
    if (!options) return platform::escapeEventText(error);
    FleetPrinter printer;
    printer.line = line.number;
    printer.address = at->address;
    printer.port = at->port;
    printer.options = std::move(*options);
    return printer;
}

}  // namespace

FleetPrinters parseFleetLines(const std::vector<ListLine>& lines, const EmuOptions& options) {
    std::vector<FleetPrinter> out;
    std::set<std::pair<uint32_t, uint16_t>> taken;
    for (const ListLine& line : lines) {
        auto printer = printerOf(line, options);
        if (const auto* why = std::get_if<std::string>(&printer))
            return ListFileError{line.number, *why};
        FleetPrinter& p = std::get<FleetPrinter>(printer);
        // Port 0 is a free port each time, so never the same one twice.
        if (p.port != 0 && !taken.insert({p.address, p.port}).second) {
            return ListFileError{line.number, formatAddress(p.address, p.port) + " is named twice"};
        }
        if (out.size() == kMaxFleetPrinters) {
            return ListFileError{line.number,
                                 "more than " + std::to_string(kMaxFleetPrinters) + " printers"};
        }
        out.push_back(std::move(p));
    }
    if (out.empty()) return ListFileError{std::nullopt, "no printer in the file"};
    return out;
}

FleetPrinters readFleetFile(platform::FileReader& files, const EmuOptions& options) {
    const ListFileLines lines = readListFile(files, options.fleetFile);
    if (const auto* error = std::get_if<ListFileError>(&lines)) return *error;
    return parseFleetLines(std::get<std::vector<ListLine>>(lines), options);
}

std::string fleetExitLine(const std::string& endpoint, const PrinterModel& model,
                          size_t connectionsServed) {
    const FlashSummary flash = model.flashSummary();
    return "printer " + endpoint + " connections=" + std::to_string(connectionsServed) +
           " received=" + std::to_string(model.receivedCount()) +
           " flashes=" + std::to_string(flash.flashes) +
           " image-bytes=" + std::to_string(flash.imageBytes) +
           " cut-off=" + (flash.incomplete ? "yes" : "no") + " sha256=" + flash.imageSha256 +
           " before=" + platform::quotedEventText(flash.versionBefore) +
           " after=" + platform::quotedEventText(flash.versionNow) +
           " state=" + std::string(flashPhaseName(flash.phase));
}

}  // namespace kv::emulator
