#include <gtest/gtest.h>

#include <memory>

#include "app/EthernetTarget.h"
#include "app/IdentifyCommand.h"
#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/sim/VirtualClock.h"

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

struct IdentifyWorld {
    explicit IdentifyWorld(emulator::PrinterConfig config) : model(config) {
        net.setBounds({2000, 300, 2000});
        sys.wired.clock = &clock;
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.network = &net;
        emulator::TcpServer::Options options;
        options.port = 0;
        server = std::make_unique<emulator::TcpServer>(model, serverNet, options);
        EXPECT_TRUE(server->start());
    }
    std::string target() const { return "127.0.0.1:" + std::to_string(server->port()); }

    platform::sim::VirtualClock clock;
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::linux_impl::PosixNetwork net;
    platform::linux_impl::PosixNetwork serverNet;
    platform::Services sys;
    emulator::PrinterModel model;
    std::unique_ptr<emulator::TcpServer> server;
    AppState state;
    Context ctx{state, sys};
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
    EXPECT_EQ(w.net.openCount(), 0u);
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
        EXPECT_EQ(w.net.openCount(), 0u);
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
