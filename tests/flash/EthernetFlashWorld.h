#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "flash/EthernetFlash.h"
#include "platform/sim/FaultNetwork.h"
#include "platform/sim/VirtualClock.h"
#include "printer/discovery/EthernetDiscovery.h"
#include "spooler/PortRedirection.h"
#include "tests/support/Files.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempDir.h"

namespace kv::ethtest {

using Bytes = std::vector<uint8_t>;

// The host's clock for a printer behind real sockets: before the host's
// time moves on, the printer must have taken what the host sent, as it
// would have on a link that delivers at once. Only while the printer takes
// an image does that matter (everything else is a request whose reply the
// host waits for).
class DeliveringClock final : public platform::Clock {
public:
    DeliveringClock(platform::sim::VirtualClock& inner, platform::sim::FaultNetwork& client,
                    emulator::TcpServer& server, emulator::PrinterModel& model)
        : inner_(inner), client_(client), server_(server), model_(model) {}

    void sleepMs(uint32_t ms) override {
        deliver();
        inner_.sleepMs(ms);
    }
    uint64_t tickMs() override { return inner_.tickMs(); }
    int64_t wallMs() override { return inner_.wallMs(); }

private:
    void deliver() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (model_.flashPhase() == emulator::FlashPhase::Receiving && !model_.linkDropped()) {
            const uint64_t sent = client_.bytesSent();
            if (server_.bytesReceived() >= sent) return;
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the printer never took the bytes sent";
                return;
            }
            server_.waitForBytesReceived(sent, std::chrono::milliseconds(50));
        }
    }

    platform::sim::VirtualClock& inner_;
    platform::sim::FaultNetwork& client_;
    emulator::TcpServer& server_;
    emulator::PrinterModel& model_;
};

inline constexpr const char* kDeviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

// An image of `size` bytes; with a version marker when `version` is set and
// the image has room for it.
inline Bytes imageBytes(size_t size, const std::string& version = "", uint32_t seed = 7) {
    Bytes image = testing::pseudoRandomBytes(size, seed);
    // No stray marker from the random bytes.
    for (uint8_t& b : image)
        if (b == 'F') b = 'f';
    const std::string marker = "FWV:" + version + ";";
    if (!version.empty() && size >= marker.size() + 16)
        std::copy(marker.begin(), marker.end(), image.begin() + 16);
    return image;
}

// kvflash's state and simulated services around a printer emulator served
// on a loopback port, with real sockets and a virtual clock.
struct EthernetFlashWorld : testing::SimWorld {
    explicit EthernetFlashWorld(emulator::PrinterConfig config = defaultPrinter())
        : SimWorld(platform::sim::MemorySpooler::defaultWorld()), model(config, &clock) {
        network.setBounds({2000, 2000, 2000});
        emulator::TcpServer::Options options;
        options.port = 0;
        options.pieceGapMs = 5;
        server = std::make_unique<emulator::TcpServer>(model, *serverNet, options);
        EXPECT_TRUE(server->start());
        delivering = std::make_unique<DeliveringClock>(clock, network, *server, model);
        sys.wired.clock = delivering.get();

        state.ipAddressText = {"127", "0", "0", "1"};
        state.portNumberText = std::to_string(server->port());
        state.firmwareFileName = dir.file("image.bin");
        queuesBefore = spooler.queues();
    }
    ~EthernetFlashWorld() {
        // A worker still running would outlive the world.
        if (state.flashInProgress) state.workerSignal.waitForWorkerEnd();
        server->stop();
    }

    static emulator::PrinterConfig defaultPrinter() {
        emulator::PrinterConfig c;
        c.deviceId = kDeviceId;
        return c;
    }

    void writeImage(const Bytes& image) { testing::writeAll(state.firmwareFileName, image); }

    bool find() { return findEthernetPrinter(ctx, controls, state.printerData); }

    // What FlashPrinterNow does before its Ethernet branch: the queues go
    // to the dummy port (its re-probe), the branch runs; then the test waits
    // for the worker, if one started.
    bool flash() {
        EXPECT_TRUE(SetPortsToFile(sys, state));
        const bool started = flashPrinterNowEthernet(ctx, controls, state.printerData);
        if (started) {
            EXPECT_TRUE(state.workerSignal.waitForWorkerEnd()) << "the worker never ended";
        }
        return started;
    }

    bool queuesRestored() const { return spooler.queues() == queuesBefore; }

    std::vector<std::string> statusTexts() const {
        return controls.textsOf(platform::Control::programStatusText);
    }
    std::vector<std::string> stateTexts() const {
        return controls.textsOf(platform::Control::programStateText);
    }
    std::vector<std::string> boxTexts() const { return ui.boxTexts(); }

    testing::TempDir dir;
    emulator::PrinterModel model;
    std::unique_ptr<platform::Network> serverNet = testing::makeHostNetwork();
    std::unique_ptr<emulator::TcpServer> server;
    std::unique_ptr<DeliveringClock> delivering;
    std::vector<platform::QueueRecord> queuesBefore;
};

}  // namespace kv::ethtest
