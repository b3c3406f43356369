#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "platform/sim/VirtualClock.h"
#include "tests/support/HostPlatform.h"

namespace kv::emulator {

// A printer served on a free loopback port that keeps the server's log
// lines; not started yet. With `onVirtualClock` the printer's time is
// `clock`, which the test moves.
struct LoggedServer {
    explicit LoggedServer(PrinterConfig config = {}, bool onVirtualClock = false,
                          TcpServer::Options options = {})
        : model(config, onVirtualClock ? &clock : nullptr) {
        options.port = 0;
        options.log = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
        server = std::make_unique<TcpServer>(model, *net, options);
    }
    std::vector<std::string> log() {
        std::lock_guard lock(mutex);
        return lines;
    }

    // Before the server, which logs into them until it is gone.
    std::mutex mutex;
    std::vector<std::string> lines;
    platform::sim::VirtualClock clock;
    std::unique_ptr<platform::Network> net = testing::makeHostNetwork({2000, 2000, 2000});
    PrinterModel model;
    std::unique_ptr<TcpServer> server;
};

}  // namespace kv::emulator
