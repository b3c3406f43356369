#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "fleet/FleetImage.h"
#include "fleet/FleetRun.h"
#include "fleet/WorldParts.h"
#include "image/FileBytes.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/CountingNetwork.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/RecordingSleepInhibitor.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/VirtualClock.h"
#include "tests/support/Files.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/LoopbackPrinter.h"
#include "tests/support/TempDir.h"

namespace kv::fleettest {

using platform::sim::CountingNetwork;

inline uint32_t networkOrder(uint32_t host) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(host >> 24), static_cast<uint8_t>(host >> 16),
                              static_cast<uint8_t>(host >> 8), static_cast<uint8_t>(host)};
    uint32_t out = 0;
    std::memcpy(&out, bytes, 4);
    return out;
}

// A printer's own time: before it moves on, the emulated printer must have
// taken every byte its host sent it (as a link that delivers at once).
class PrinterClock final : public platform::Clock {
public:
    PrinterClock(CountingNetwork& net, uint32_t address)
        : net_(net), address_(networkOrder(address)) {}
    void attach(emulator::TcpServer* server, emulator::PrinterModel* model) {
        server_ = server;
        model_ = model;
    }
    void sleepMs(uint32_t ms) override {
        deliver();
        if (beforeSleep) beforeSleep();
        clock.sleepMs(ms);
    }
    uint64_t tickMs() override { return clock.tickMs(); }
    int64_t wallMs() override { return clock.wallMs(); }
    platform::sim::VirtualClock clock;
    // Runs on the printer's world's thread before each of its pauses.
    std::function<void()> beforeSleep;

private:
    void deliver() {
        if (!server_) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (model_->flashPhase() == emulator::FlashPhase::Receiving &&
               model_->readAllowance() > 0) {
            const uint64_t sent = net_.sentTo(address_);
            if (server_->bytesReceived() >= sent) return;
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the printer never took the bytes sent";
                return;
            }
            server_->waitForBytesReceived(sent, std::chrono::milliseconds(50));
        }
    }
    CountingNetwork& net_;
    const uint32_t address_;
    emulator::TcpServer* server_ = nullptr;
    emulator::PrinterModel* model_ = nullptr;
};

// An emulated printer on a loopback address of its own, with its own clock;
// nothing listens there when `config` is empty.
struct EmulatedPrinter {
    EmulatedPrinter(CountingNetwork& net, uint32_t address,
                    std::optional<emulator::PrinterConfig> config)
        : clock(net, address) {
        endpoint.address = address;
        if (!config) {
            endpoint.port = testing::deadLoopbackPort();
            return;
        }
        model = std::make_unique<emulator::PrinterModel>(*config, &clock);
        emulator::TcpServer::Options options;
        options.address = fleet::Endpoint{address, 0}.text();
        options.address.resize(options.address.find(':'));
        options.port = 0;
        options.pieceGapMs = 5;
        server = std::make_unique<emulator::TcpServer>(*model, *serverNet, options);
        EXPECT_TRUE(server->start());
        endpoint.port = server->port();
        clock.attach(server.get(), model.get());
    }
    ~EmulatedPrinter() {
        if (server) server->stop();
    }
    PrinterClock clock;
    std::unique_ptr<emulator::PrinterModel> model;
    std::unique_ptr<platform::Network> serverNet = testing::makeHostNetwork();
    std::unique_ptr<emulator::TcpServer> server;
    fleet::Endpoint endpoint;
};

inline constexpr uint32_t kFirstAddress = (127u << 24) | 2;  // 127.0.0.2

inline constexpr const char* kIdV512 = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

inline emulator::PrinterConfig printer(std::string id = kIdV512) {
    emulator::PrinterConfig c;
    c.deviceId = std::move(id);
    return c;
}

// An image with the marker V5.20 and no stray one.
inline std::vector<uint8_t> imageBytes(size_t size) {
    std::vector<uint8_t> image = testing::pseudoRandomBytes(size, 11);
    for (uint8_t& b : image)
        if (b == 'F') b = 'f';
    const std::string marker = "FWV:V5.20;";
    std::copy(marker.begin(), marker.end(), image.begin() + 16);
    return image;
}

// The machine of a fleet test: shared services (captured trace, memory
// history, plain threads, the host's files, a recording inhibitor behind
// the counting one) and one emulated printer per target, 127.0.0.2 on.
struct FleetTestWorld {
    explicit FleetTestWorld(const std::vector<std::optional<emulator::PrinterConfig>>& printers,
                            uint32_t firstAddress = kFirstAddress) {
        network.setBounds({2000, 2000, 2000});
        for (size_t i = 0; i < printers.size(); ++i) {
            this->printers.push_back(std::make_unique<EmulatedPrinter>(
                network, firstAddress + static_cast<uint32_t>(i), printers[i]));
        }
    }

    fleet::SharedServices shared() {
        fleet::SharedServices s;
        s.network = &network;
        s.trace = &trace;
        s.history = &history;
        s.threads = &threads;
        s.fileReader = fileReader.get();
        s.sleepInhibitor = &inhibitor;
        s.clockFor = [this](size_t i) -> platform::Clock& { return printers[i]->clock; };
        return s;
    }
    std::vector<fleet::Endpoint> endpoints() const {
        std::vector<fleet::Endpoint> out;
        for (const auto& p : printers) out.push_back(p->endpoint);
        return out;
    }
    // Writes the image under `name` and reads it as a fleet run does.
    std::shared_ptr<const PreloadedImage> image(const std::vector<uint8_t>& bytes,
                                                const std::string& name = "FMVQ_V5.20.bin") {
        const std::string path = dir.file(name);
        testing::writeAll(path, bytes);
        fleet::FleetImage loaded =
            fleet::loadFleetImage(*fileReader, platform::TrustedKeys{}, path);
        EXPECT_TRUE(loaded.image) << loaded.error;
        return loaded.image;
    }

    testing::TempDir dir;
    std::unique_ptr<platform::Network> hostNet = testing::makeHostNetwork();
    CountingNetwork network{*hostNet};
    platform::sim::CaptureTrace trace;
    platform::sim::MemoryHistory history;
    platform::sim::SimThreads threads;
    std::unique_ptr<platform::FileReader> fileReader = testing::makeHostFileReader();
    platform::sim::RecordingSleepInhibitor realInhibitor;
    fleet::CountingInhibitor inhibitor{realInhibitor};
    std::vector<std::unique_ptr<EmulatedPrinter>> printers;
};

}  // namespace kv::fleettest
