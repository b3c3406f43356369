// kvprinter-emu: an emulated KV printer on a TCP port, for trying kvflash
// without a printer.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "emulator/EmuOptions.h"
#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "platform/linux/PosixNetwork.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onSignal(int signalNumber) { stopSignal = signalNumber; }

void logLine(const std::string& line) { std::fprintf(stderr, "kvprinter-emu: %s\n", line.c_str()); }

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
    PrinterModel model(options->printer, &clock);
    kv::platform::linux_impl::PosixNetwork network;
    TcpServer::Options serverOptions;
    serverOptions.address = options->listenAddress;
    serverOptions.port = options->listenPort;
    serverOptions.pieceGapMs = options->pieceGapMs;
    serverOptions.log = logLine;
    TcpServer server(model, network, serverOptions);
    if (!server.start()) return 1;
    // The chosen port on stdout, so a script that asked for port 0 can find it.
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    while (stopSignal == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    logLine(std::string("stopping on ") + (stopSignal == SIGINT ? "SIGINT" : "SIGTERM"));
    server.stop();
    logLine("served " + std::to_string(server.connectionsServed()) + " connections, received " +
            std::to_string(model.received().size()) + " bytes");
    std::fputs(exitSummary(model, server.connectionsServed()).c_str(), stdout);
    std::fflush(stdout);
    return 0;
}
