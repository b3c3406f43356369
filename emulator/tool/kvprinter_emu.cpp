// kvprinter-emu: an emulated KV printer on a TCP port, or on the device
// side of a USB printer gadget, for trying kvflash without a printer.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <cstdio>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "emulator/EmuOptions.h"
#include "emulator/FleetFile.h"
#include "emulator/GadgetServer.h"
#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "platform/EventText.h"
#include "platform/Ipv4.h"
#include "platform/linux/LinuxUsbGadget.h"
#include "platform/linux/PosixFileReader.h"
#include "platform/linux/PosixNetwork.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onSignal(int signalNumber) { stopSignal = signalNumber; }

void logLine(const std::string& line) { std::fprintf(stderr, "kvprinter-emu: %s\n", line.c_str()); }

void waitForStopSignal() {
    while (stopSignal == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    logLine(std::string("stopping on ") + (stopSignal == SIGINT ? "SIGINT" : "SIGTERM"));
}

int serveOnGadget(const kv::emulator::EmuOptions& options, kv::emulator::PrinterModel& model,
                  kv::platform::Clock& clock) {
    using namespace kv::emulator;
    kv::platform::linux_impl::LinuxUsbGadgetOptions gadgetOptions;
    gadgetOptions.node = options.gadgetNode;
    gadgetOptions.serial = options.usbSerial;
    gadgetOptions.productId = options.usbProductId;
    kv::platform::linux_impl::LinuxUsbGadget gadget(gadgetOptions);
    GadgetServer::Options serverOptions;
    serverOptions.statusRepeatMs = options.statusRepeatMs;
    serverOptions.pieceGapMs = options.pieceGapMs;
    serverOptions.unplugAfterImageBytes = options.unplugAfterImageBytes;
    serverOptions.stopReadingAfterImageBytes = options.stopReadingAfterImageBytes;
    serverOptions.unaskedStatusMs = options.unaskedStatusMs;
    serverOptions.log = logLine;
    GadgetServer server(model, gadget, clock, serverOptions);
    if (!server.start()) return 1;
    std::printf("%s\n", options.gadgetNode.c_str());
    std::fflush(stdout);
    waitForStopSignal();
    server.stop();
    std::fputs(gadgetExitSummary(model, server.plugs()).c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

// A fleet of hundreds holds more descriptors (a listening and a served
// socket a printer) than the usual soft limit of 1024; the hard limit allows
// them.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Every printer of the fleet file on its own address, each a model and a
// server of its own; a line per printer on stdout as it listens and again
// at exit.
int serveFleet(const kv::emulator::EmuOptions& options, kv::platform::Clock& clock,
               kv::platform::Network& network) {
    using namespace kv::emulator;
    kv::platform::linux_impl::PosixFileReader files;
    const FleetPrinters read = readFleetFile(files, options);
    if (const auto* error = std::get_if<kv::ListFileError>(&read)) {
        std::fprintf(stderr, "kvprinter-emu: %s%s: %s\n",
                     kv::platform::escapeEventText(options.fleetFile).c_str(),
                     error->line ? (":" + std::to_string(*error->line)).c_str() : "",
                     error->reason.c_str());
        return 2;
    }
    struct Served {
        std::unique_ptr<PrinterModel> model;
        std::unique_ptr<TcpServer> server;
        std::string endpoint;
    };
    raiseDescriptorLimit();
    std::vector<Served> fleet;
    for (const FleetPrinter& printer : std::get<std::vector<FleetPrinter>>(read)) {
        Served served;
        served.model = std::make_unique<PrinterModel>(printer.options.printer, &clock);
        TcpServer::Options serverOptions;
        serverOptions.address =
            kv::platform::dottedDecimal(kv::platform::swapToNetworkOrder(printer.address));
        serverOptions.port = printer.port;
        serverOptions.pieceGapMs = printer.options.pieceGapMs;
        serverOptions.replyDelayMs = printer.options.replyDelayMs;
        serverOptions.stopReadingAfterImageBytes = printer.options.stopReadingAfterImageBytes;
        const std::string tag = serverOptions.address + ":" + std::to_string(printer.port);
        serverOptions.log = [tag](const std::string& line) { logLine(tag + " " + line); };
        served.server = std::make_unique<TcpServer>(*served.model, network, serverOptions);
        if (!served.server->start()) {
            logLine("line " + std::to_string(printer.line) + ": cannot serve " + tag);
            for (Served& s : fleet) s.server->stop();
            return 1;
        }
        served.endpoint = formatAddress(printer.address, served.server->port());
        std::printf("listening %s\n", served.endpoint.c_str());
        fleet.push_back(std::move(served));
    }
    std::fflush(stdout);
    waitForStopSignal();
    for (Served& s : fleet) s.server->stop();
    for (const Served& s : fleet) {
        std::printf("%s\n",
                    fleetExitLine(s.endpoint, *s.model, s.server->connectionsServed()).c_str());
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kv::emulator;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<EmuOptions> options = parseEmuOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "kvprinter-emu: %s\n%s", error.c_str(), kEmuUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kEmuUsage, stdout);
        return 0;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    // The reset after a flash runs on real time here.
    kv::platform::RealClock clock;
    kv::platform::linux_impl::PosixNetwork network;
    if (!options->fleetFile.empty()) return serveFleet(*options, clock, network);
    PrinterModel model(options->printer, &clock);
    if (!options->gadgetNode.empty()) return serveOnGadget(*options, model, clock);
    TcpServer::Options serverOptions;
    serverOptions.address = options->listenAddress;
    serverOptions.port = options->listenPort;
    serverOptions.pieceGapMs = options->pieceGapMs;
    serverOptions.replyDelayMs = options->replyDelayMs;
    serverOptions.stopReadingAfterImageBytes = options->stopReadingAfterImageBytes;
    serverOptions.log = logLine;
    TcpServer server(model, network, serverOptions);
    if (!server.start()) return 1;
    // The chosen port on stdout, so a script that asked for port 0 can find it.
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    waitForStopSignal();
    server.stop();
    logLine("served " + std::to_string(server.connectionsServed()) + " connections, received " +
            std::to_string(model.receivedCount()) + " bytes");
    std::fputs(exitSummary(model, server.connectionsServed()).c_str(), stdout);
    std::fflush(stdout);
    return 0;
}
