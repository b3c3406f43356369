#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "state/ShellState.h"
#include "tests/support/HostPlatform.h"

namespace kv::testing {

// An emulated printer served over real sockets on a free loopback port,
// on the host's network and a thread of its own.
struct LoopbackPrinter {
    explicit LoopbackPrinter(emulator::PrinterConfig config, platform::Clock* clock = nullptr,
                             uint32_t pieceGapMs = 50)
        : model(std::move(config), clock) {
        emulator::TcpServer::Options options;
        options.port = 0;
        options.pieceGapMs = pieceGapMs;
        server = std::make_unique<emulator::TcpServer>(model, *network, options);
        EXPECT_TRUE(server->start());
    }
    ~LoopbackPrinter() { server->stop(); }

    uint16_t port() const { return server->port(); }
    std::string portText() const { return std::to_string(port()); }
    std::string target() const { return "127.0.0.1:" + portText(); }
    // Types its address and port into the Ethernet fields' texts.
    void typeInto(ShellState& shell) const {
        shell.ipAddressText = {"127", "0", "0", "1"};
        shell.portNumberText = portText();
    }

    emulator::PrinterModel model;
    std::unique_ptr<platform::Network> network = makeHostNetwork();
    std::unique_ptr<emulator::TcpServer> server;
};

// A port on which nothing listens (taken and given back at once).
inline uint16_t deadLoopbackPort() {
    const auto net = makeHostNetwork();
    const uint8_t loopback[4] = {127, 0, 0, 1};
    uint32_t address = 0;  // network byte order
    std::memcpy(&address, loopback, sizeof address);
    const platform::SocketHandle s = net->listen(address, 0);
    const uint16_t port = net->localPort(s);
    net->close(s);
    return port;
}

}  // namespace kv::testing
