#include <gtest/gtest.h>

#include <memory>

#include "app/EthernetTarget.h"
#include "app/IdentifyCommand.h"
#include "tests/support/LoopbackPrinter.h"
#include "tests/support/SimWorld.h"

namespace kv {
namespace {

TEST(IdentifyCommand, TargetTextsAsTheTerminalTakesThem) {
    struct Case {
        const char* target;
        bool ok;
        std::array<std::string, 4> parts;
        std::string port;
    };
    const std::vector<Case> cases = {
        {"192.168.0.1", true, {"192", "168", "0", "1"}, "10001"},
        {"127.0.0.1:4000", true, {"127", "0", "0", "1"}, "4000"},
        {"10.0.0.x", true, {"10", "0", "0", "x"}, "10001"},  // judged later, as typed
        {"127.0.0.1:abc", false, {}, ""},
        {"1.2.3.4:", false, {}, ""},
        {"1.2.3.4:123456", false, {}, ""},
        {"1..3.4", false, {}, ""},
        {"1.2.3", false, {}, ""},
        {"1.2.3.4.5", false, {}, ""},
        {"", false, {}, ""},
    };
    for (const Case& c : cases) {
        const auto target = parseEthernetTarget(c.target);
        ASSERT_EQ(target.has_value(), c.ok) << c.target;
        if (!c.ok) continue;
        ShellState shell;
        setEthernetTexts(shell, *target);
        EXPECT_EQ(shell.ipAddressText, c.parts) << c.target;
        EXPECT_EQ(shell.portNumberText, c.port) << c.target;
    }
}

struct IdentifyWorld : testing::SimWorld {
    explicit IdentifyWorld(emulator::PrinterConfig config) : peer(std::move(config)) {
        network.setBounds({2000, 300, 2000});
    }
    std::string target() const { return peer.target(); }

    testing::LoopbackPrinter peer;
    std::unique_ptr<emulator::TcpServer>& server = peer.server;
};

TEST(IdentifyCommand, ReportsAReadyPrinter) {
    emulator::PrinterConfig config;
    config.deviceId = "MFG:KV;CMD:G;MDL:ZOW3004G;CLS:PRINTER;FWV:V2.31 ;";
    config.statusByte4 = 0x01;  // low paper leaves it ready
    IdentifyWorld w(config);
    std::string out;
    EXPECT_EQ(runIdentifyCommand(w.ctx, w.target(), out), 0);
    EXPECT_EQ(out,
              "Printer:          ZOW3004G\n"
              "Port:             ETHERNET\n"
              "Language:         G\n"
              "Logic Board:      LOGIC BD II ROHS\n"
              "Current Version:  V2.31\n"
              "Ready:            yes\n"
              "Status:           Found Printer - Printer ready\n");
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_ETHERNET);
    EXPECT_TRUE(w.trace.contains("After finding Ethernet port type = 3"));
    EXPECT_EQ(w.trace.lines().back(), "closeSocket - Complete");
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_EQ(w.network.openCount(), 0u);
}

TEST(IdentifyCommand, NotReadyNoIdAndNoPrinter) {
    {
        emulator::PrinterConfig config;
        config.statusByte4 = 0x20;
        IdentifyWorld w(config);
        std::string out;
        EXPECT_EQ(runIdentifyCommand(w.ctx, w.target(), out), 0);
        EXPECT_NE(out.find("Ready:            no\n"), std::string::npos);
        EXPECT_NE(out.find("Status:           Found Printer - Printer NOT ready\n"),
                  std::string::npos);
    }
    {
        emulator::PrinterConfig config;
        config.silent = true;
        IdentifyWorld w(config);
        std::string out;
        EXPECT_EQ(runIdentifyCommand(w.ctx, w.target(), out), 1);
        EXPECT_EQ(out, "Status:           Found Printer - Printer NOT ready\n");
        EXPECT_EQ(w.ui.boxTexts(), std::vector<std::string>{"Can't get printer ID"});
        EXPECT_EQ(w.network.openCount(), 0u);
    }
    {
        IdentifyWorld w({});
        const std::string target = w.target();
        w.server->stop();  // nothing listens any more
        std::string out;
        EXPECT_EQ(runIdentifyCommand(w.ctx, target, out), 1);
        EXPECT_EQ(out, "Status:           Did not find Ethernet attached printer\n");
        EXPECT_EQ(w.state.printerData.portType, PORT_TYPE_NONE);
    }
    {
        IdentifyWorld w({});
        std::string out;
        EXPECT_EQ(runIdentifyCommand(w.ctx, "localhost", out), 2);
        EXPECT_EQ(runIdentifyCommand(w.ctx, "127.0.0.1:abc", out), 2);
        EXPECT_TRUE(w.trace.lines().empty());
    }
}

}  // namespace
}  // namespace kv
