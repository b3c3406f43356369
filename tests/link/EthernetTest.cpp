#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "link/Ethernet.h"
#include "link/InetAddr.h"
#include "tests/support/LoopbackPrinter.h"
#include "tests/support/SimWorld.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

// A printer model served on a loopback port, and a client side whose
// pauses run on a virtual clock. The client's network can fail on request.
struct EthernetWorld : testing::SimWorld {
    explicit EthernetWorld(emulator::PrinterConfig config = {}) : peer(std::move(config)) {
        network.setBounds({2000, 2000, 2000});
    }

    std::string portText() const { return peer.portText(); }
    bool open(const std::string& port) {
        return openSocket(sys, state.ethernetSocket, "127", "0", "0", "1", port, printer);
    }
    bool open() { return open(portText()); }
    platform::SocketHandle socket() const { return state.ethernetSocket; }

    testing::LoopbackPrinter peer;
    emulator::PrinterModel& model = peer.model;
    PrinterData printer;
};

uint16_t deadPort() { return testing::deadLoopbackPort(); }

TEST(Ethernet, IdentifyAndReadyTraceAndPauses) {
    EthernetWorld w;
    const std::string port = w.portText();
    ASSERT_TRUE(w.open());
    EXPECT_EQ(w.printer.portType, PORT_TYPE_ETHERNET);
    ASSERT_TRUE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
    EXPECT_EQ(w.printer.deviceId, emulator::PrinterConfig{}.deviceId);
    EXPECT_TRUE(isPrinterReadyEthernet(w.sys, w.socket(), w.printer));
    closeSocket(w.sys, w.socket());

    const Lines expected = {
        "IP address = 127.0.0.1",
        "Port number = " + port,
        "Client: WSAStartup() is OK",
        "Client: socket() is OK",
        "Client: connect() is OK",
        "Client: setting printerData->portType = PORT_TYPE_ETHERNET",
        "GetPrinterIDEthernet - Entry",
        "GetPrinterIDEthernet - Sent <SA08> bytes send = 6",
        "isPrinterReadyEthernet - Entry",
        "isPrinterReadyEthernet - Sent <SS> bytes send = 4",
        "Status Length = 5, Data = ",
        "53 ",
        "30 ",
        "30 ",
        "0 ",
        "0 ",
        "GetPrinterIDEthernet - Returning printer ready",
        "closeSocket - Entry",
        "closeSocket - Complete",
    };
    EXPECT_EQ(w.trace.lines(), expected);
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{300, 200}));
    EXPECT_EQ(w.model.received(), Bytes({'<', 'S', 'A', '0', '8', '>', '<', 'S', 'S', '>'}));
    EXPECT_EQ(w.network.openCount(), 0u);
}

TEST(Ethernet, DeviceIdIsOneReceiveCutAtNul) {
    struct Case {
        std::string sent;
        std::string stored;
    };
    const std::string id256 = "MDL:" + std::string(252, 'X');
    const std::vector<Case> cases = {
        {id256, id256},                              // exactly 256 bytes, no NUL
        {id256 + "TAIL", id256},                     // one receive of at most 256
        {std::string("MDL:AB\0CD;", 10), "MDL:AB"},  // cut at the NUL
        {std::string("\0MDL:AB;", 8), ""},
    };
    for (const Case& c : cases) {
        emulator::PrinterConfig config;
        config.deviceId = c.sent;
        EthernetWorld w(config);
        ASSERT_TRUE(w.open());
        w.printer.deviceId = "old";
        ASSERT_TRUE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
        EXPECT_EQ(w.printer.deviceId, c.stored);
        EXPECT_EQ(w.printer.deviceId.size(), c.stored.size());
        closeSocket(w.sys, w.socket());
    }
}

TEST(Ethernet, ReadinessTable) {
    struct Case {
        Bytes reply;
        bool ready;
    };
    const std::vector<Case> cases = {
        {{'S', '0', '0', 0x00, 0x00}, true},
        {{'S', '0', '0', 0x00, 0x01}, true},  // low paper only
        {{'S', '0', '0', 0x00, 0x02}, false},
        {{'S', '0', '0', 0x00, 0x20}, false},  // busy
        {{'S', '0', '0', 0x00, 0xA1}, false},
        {{'S', '0', '0', 0x01, 0x00}, false},  // byte 3 set
        {{'S', '0', '0', 0x80, 0x01}, false},
        {{'S', '0', '0'}, true},  // judged on zeros
        {{'S'}, true},
        {{'S', '0', '0', 0x00}, true},   // 4 bytes, byte 3 zero
        {{'S', '0', '0', 0x04}, false},  // 4 bytes, byte 3 set
        {{'S', '0', '0', 0x00, 0x01, 0xFF, 0xFF}, true},
    };
    EthernetWorld w;
    ASSERT_TRUE(w.open());
    for (const Case& c : cases) {
        emulator::PrinterConfig config;
        config.statusReplyOverride = c.reply;
        w.model.setConfig(config);
        w.trace.clear();
        EXPECT_EQ(isPrinterReadyEthernet(w.sys, w.socket(), w.printer), c.ready)
            << "reply of " << c.reply.size() << " bytes";
        const Lines lines = w.trace.lines();
        ASSERT_GE(lines.size(), 4u + c.reply.size());
        EXPECT_EQ(lines[2], "Status Length = " + std::to_string(c.reply.size()) + ", Data = ");
        EXPECT_EQ(lines.back(), c.ready ? "GetPrinterIDEthernet - Returning printer ready"
                                        : "GetPrinterIDEthernet - Returning printer NOT READY");
    }
    closeSocket(w.sys, w.socket());
}

TEST(Ethernet, ByteLinesOfTheStatusReplyAreHex) {
    emulator::PrinterConfig config;
    config.statusReplyOverride = Bytes{'S', '0', '0', 0x00, 0xAB};
    EthernetWorld w(config);
    ASSERT_TRUE(w.open());
    w.trace.clear();
    EXPECT_FALSE(isPrinterReadyEthernet(w.sys, w.socket(), w.printer));
    const Lines lines = w.trace.lines();
    EXPECT_EQ(Lines(lines.begin() + 3, lines.begin() + 8),
              (Lines{"53 ", "30 ", "30 ", "0 ", "AB "}));
    closeSocket(w.sys, w.socket());
}

TEST(InetAddr, ReadsDottedTextLikeInetAddr) {
    struct Case {
        const char* text;
        std::array<uint8_t, 4> bytes;  // in memory (network) order
        bool valid;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", {127, 0, 0, 1}, true},
        {"192.168.1", {192, 168, 0, 1}, true},  // last part fills 16 bits
        {"192.168.300", {192, 168, 1, 44}, true},
        {"10.1", {10, 0, 0, 1}, true},       // last part fills 24 bits
        {"167772161", {10, 0, 0, 1}, true},  // one 32-bit number
        {"0x7f000001", {127, 0, 0, 1}, true},
        {"0X7F.1", {127, 0, 0, 1}, true},
        {"0177.0.0.01", {127, 0, 0, 1}, true},  // octal parts
        {"1.2.3.4 ", {1, 2, 3, 4}, true},       // trailing blank
        {"1.2.3.4\tjunk", {1, 2, 3, 4}, true},  // anything after a blank
        {"1.2.65535", {1, 2, 255, 255}, true},
        {"0.0.0.0", {0, 0, 0, 0}, true},
        {"4294967295", {255, 255, 255, 255}, true},
        {"", {}, false},
        {" 1.2.3.4", {}, false},
        {"1.2.3.4x", {}, false},
        {"1.2.3.4.5", {}, false},
        {"256.1.1.1", {}, false},
        {"1.2.3.256", {}, false},
        {"1.2.65536", {}, false},
        {"1.16777216", {}, false},
        {"4294967296", {}, false},
        {"1..2.3", {}, false},
        {"1.2.3.", {}, false},
        {"08", {}, false},  // 8 is no octal digit
        {"0x", {}, false},
        {"-1", {}, false},
        {"a.b.c.d", {}, false},
        {"0x100000000", {}, false},
    };
    for (const Case& c : cases) {
        const uint32_t value = inetAddr(c.text);
        if (!c.valid) {
            EXPECT_EQ(value, kInaddrNone) << c.text;
            continue;
        }
        std::array<uint8_t, 4> bytes{};
        std::memcpy(bytes.data(), &value, 4);
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
}

TEST(InetAddr, PortTextReadLikeAtoiThenCutTo16Bits) {
    const std::vector<std::pair<std::string, uint16_t>> cases = {
        {"10001", 10001}, {"70000", 4464},        {"65536", 0},        {"abc", 0},
        {"", 0},          {"  +80x", 80},         {"\t12 34", 12},     {"-1", 65535},
        {"0x50", 0},      {"99999999999", 65535}, {"-99999999999", 0}, {"- 5", 0},
    };
    for (const auto& [text, port] : cases) EXPECT_EQ(portFromText(text), port) << text;
}

TEST(Ethernet, PortTextReachesConnectCutTo16Bits) {
    EthernetWorld w;
    platform::sim::FaultNetwork::Faults faults;
    faults.connectFails = true;
    w.network.setFaults(faults);
    for (const auto& [text, port] : std::vector<std::pair<std::string, uint16_t>>{
             {"10001", 10001}, {"70000", 4464}, {"none", 0}}) {
        w.trace.clear();
        EXPECT_FALSE(w.open(text));
        EXPECT_EQ(w.trace.lines().at(1), "Port number = " + std::to_string(port));
        EXPECT_EQ(w.network.connects().back().port, port);
        EXPECT_EQ(w.network.connects().back().address, inetAddr("127.0.0.1"));
    }
}

TEST(Ethernet, FailedOpenLeavesPortTypeNoneAndSocketAsItWas) {
    struct Case {
        const char* name;
        platform::sim::FaultNetwork::Faults faults;
        Lines tail;  // trace after the two address lines
        int cleanups;
    };
    platform::sim::FaultNetwork::Faults noStart, noSocket, none;
    noStart.startupFails = true;
    noSocket.openFails = true;
    const std::vector<Case> cases = {
        {"startup", noStart, {"Client: Error at WSAStartup()"}, 0},
        {"socket",
         noSocket,
         {"Client: WSAStartup() is OK", "Client: socket() - Error at socket(): 10055"},
         1},
        {"refused",
         none,
         {"Client: WSAStartup() is OK", "Client: socket() is OK",
          "Client: connect() - Failed to connect"},
         1},
    };
    const std::string port = std::to_string(deadPort());
    for (const Case& c : cases) {
        for (PortType before : {PORT_TYPE_USB, PORT_TYPE_ETHERNET, PORT_TYPE_PARALLEL}) {
            EthernetWorld w;
            w.network.setFaults(c.faults);
            w.printer.portType = before;
            w.state.ethernetSocket = platform::SocketHandle{4242};
            EXPECT_FALSE(w.open(port)) << c.name;
            EXPECT_EQ(w.printer.portType, PORT_TYPE_NONE) << c.name;
            EXPECT_EQ(w.state.ethernetSocket, platform::SocketHandle{4242}) << c.name;
            Lines lines = w.trace.lines();
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), c.tail) << c.name;
            EXPECT_EQ(w.network.cleanups(), c.cleanups) << c.name;
            EXPECT_EQ(w.network.openCount(), 0u) << c.name << ": no socket left behind";
        }
    }
}

TEST(Ethernet, BadAddressTextFailsToConnect) {
    EthernetWorld w;
    EXPECT_FALSE(
        openSocket(w.sys, w.state.ethernetSocket, "127", "", "0", "1", w.portText(), w.printer));
    EXPECT_EQ(w.trace.lines().at(0), "IP address = 127..0.1");
    EXPECT_EQ(w.network.connects().at(0).address, kInaddrNone);
    EXPECT_EQ(w.printer.portType, PORT_TYPE_NONE);
}

TEST(Ethernet, FailedSendsStoreMinusOneAndKeepTheRecord) {
    EthernetWorld w;
    ASSERT_TRUE(w.open());
    platform::sim::FaultNetwork::Faults faults;
    faults.sendsBeforeFailure = 0;
    w.network.setFaults(faults);
    w.printer.deviceId = "MDL:OLD;";
    w.trace.clear();

    EXPECT_FALSE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
    EXPECT_EQ(w.printer.deviceId, "MDL:OLD;");
    EXPECT_FALSE(isPrinterReadyEthernet(w.sys, w.socket(), w.printer));
    const uint8_t block[3] = {1, 2, 3};
    int32_t sent = 77;
    EXPECT_FALSE(WriteFileEthernet(w.sys, w.socket(), block, 3, sent));
    EXPECT_EQ(sent, -1);

    EXPECT_EQ(w.trace.lines(), (Lines{
                                   "GetPrinterIDEthernet - Entry",
                                   "GetPrinterIDEthernet - Error sending <SA08>",
                                   "isPrinterReadyEthernet - Entry",
                                   "isPrinterReadyEthernet - Error sending <SS>",
                                   "WriteFileEthernet - Entry",
                                   "WriteFileEthernet - Error sending data",
                               }));
    EXPECT_TRUE(w.clock.pauses().empty()) << "no pause without a request sent";
    closeSocket(w.sys, w.socket());
}

TEST(Ethernet, PeerClosingBeforeTheReply) {
    struct Case {
        const char* name;
        size_t dropAfter;
        std::function<bool(EthernetWorld&)> call;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"id", 6,
         [](EthernetWorld& w) { return GetPrinterIDEthernet(w.sys, w.socket(), w.printer); },
         "GetPrinterIDEthernet - Connection Closed"},
        {"status", 4,
         [](EthernetWorld& w) { return isPrinterReadyEthernet(w.sys, w.socket(), w.printer); },
         "isPrinterReadyEthernet - Connection Closed"},
    };
    for (const Case& c : cases) {
        emulator::PrinterConfig config;
        config.dropAfterBytes = c.dropAfter;
        EthernetWorld w(config);
        ASSERT_TRUE(w.open());
        w.printer.deviceId = "MDL:OLD;";
        w.trace.clear();
        EXPECT_FALSE(c.call(w)) << c.name;
        EXPECT_EQ(w.trace.lines().back(), c.line) << c.name;
        EXPECT_EQ(w.printer.deviceId, "MDL:OLD;") << c.name;

        uint8_t buffer[64];
        uint32_t length = sizeof buffer;
        w.trace.clear();
        EXPECT_FALSE(ReadDataEthernet(w.sys, w.socket(), buffer, length));
        EXPECT_EQ(length, sizeof buffer) << "length left as it was";
        EXPECT_EQ(w.trace.lines(),
                  (Lines{"ReadDataEthernet - Entry", "ReadDataEthernet - Connection Closed"}));
        closeSocket(w.sys, w.socket());
    }
}

TEST(Ethernet, SilentPeerRunsIntoTheReceiveBound) {
    emulator::PrinterConfig config;
    config.silent = true;
    EthernetWorld w(config);
    w.network.setBounds({2000, 100, 2000});
    ASSERT_TRUE(w.open());
    w.printer.deviceId = "MDL:OLD;";
    w.trace.clear();

    EXPECT_FALSE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
    EXPECT_EQ(w.printer.deviceId, "MDL:OLD;");
    EXPECT_FALSE(isPrinterReadyEthernet(w.sys, w.socket(), w.printer));
    uint8_t buffer[16];
    uint32_t length = sizeof buffer;
    EXPECT_FALSE(ReadDataEthernet(w.sys, w.socket(), buffer, length));
    EXPECT_EQ(length, sizeof buffer);

    EXPECT_EQ(w.trace.lines(), (Lines{
                                   "GetPrinterIDEthernet - Entry",
                                   "GetPrinterIDEthernet - Sent <SA08> bytes send = 6",
                                   "GetPrinterIDEthernet - bytesRecv < 0",
                                   "isPrinterReadyEthernet - Entry",
                                   "isPrinterReadyEthernet - Sent <SS> bytes send = 4",
                                   "GetPrinterIDEthernet - bytesRecv < 0",
                                   "ReadDataEthernet - Entry",
                               }));
    closeSocket(w.sys, w.socket());
}

TEST(Ethernet, SplitReplyIsCutAfterTheFirstPieceAndTheRestWaits) {
    emulator::PrinterConfig config;
    config.deviceId = "MFG:KV;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";  // 42 bytes
    config.replySplit = 16;
    EthernetWorld w(config);
    ASSERT_TRUE(w.open());
    ASSERT_TRUE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
    EXPECT_EQ(w.printer.deviceId, config.deviceId.substr(0, 16));

    // The rest stays in the socket for the next receive.
    std::array<uint8_t, 1024> buffer{};
    uint32_t length = buffer.size();
    w.trace.clear();
    ASSERT_TRUE(ReadDataEthernet(w.sys, w.socket(), buffer.data(), length));
    ASSERT_GT(length, 0u);
    const std::string rest(reinterpret_cast<const char*>(buffer.data()), length);
    EXPECT_EQ(rest, config.deviceId.substr(16, length));

    const Lines lines = w.trace.lines();
    ASSERT_EQ(lines.size(), 4u + length);
    EXPECT_EQ(lines[0], "ReadDataEthernet - Entry");
    EXPECT_EQ(lines[1], "ReadDataEthernet - Read bytes = " + std::to_string(length));
    EXPECT_EQ(lines[2], "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr");
    EXPECT_EQ(lines[3], "30");  // '0' of "ZOW3004F", no blank after it
    EXPECT_EQ(lines.back(), "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr");
    closeSocket(w.sys, w.socket());
}

TEST(Ethernet, RawWriteAndRead) {
    EthernetWorld w;
    ASSERT_TRUE(w.open());
    const std::string request = "<SS>";
    int32_t sent = 0;
    w.trace.clear();
    ASSERT_TRUE(WriteFileEthernet(w.sys, w.socket(),
                                  reinterpret_cast<const uint8_t*>(request.data()), 4, sent));
    EXPECT_EQ(sent, 4);
    uint8_t buffer[1024];
    uint32_t length = sizeof buffer;
    ASSERT_TRUE(ReadDataEthernet(w.sys, w.socket(), buffer, length));
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(w.trace.lines(), (Lines{
                                   "WriteFileEthernet - Entry",
                                   "WriteFileEthernet - bytes sent = 4",
                                   "ReadDataEthernet - Entry",
                                   "ReadDataEthernet - Read bytes = 5",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                                   "53",
                                   "30",
                                   "30",
                                   "0",
                                   "0",
                                   "rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr",
                               }));
    closeSocket(w.sys, w.socket());
}

TEST(Ethernet, ClosingAStaleHandleLeavesNewerSocketsAlone) {
    EthernetWorld w;
    ASSERT_TRUE(w.open());
    const platform::SocketHandle first = w.socket();
    closeSocket(w.sys, first);
    closeSocket(w.sys, first);  // as the dialog does before every search
    closeSocket(w.sys, platform::SocketHandle::invalid());
    ASSERT_TRUE(w.open());
    EXPECT_NE(w.socket(), first);
    closeSocket(w.sys, first);
    EXPECT_TRUE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer)) << "the new socket still works";
    closeSocket(w.sys, w.socket());
    EXPECT_EQ(w.network.openCount(), 0u);
}

TEST(Ethernet, ServerTakesConnectionsOneAfterAnother) {
    EthernetWorld w;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(w.open());
        EXPECT_TRUE(GetPrinterIDEthernet(w.sys, w.socket(), w.printer));
        closeSocket(w.sys, w.socket());
    }
    w.peer.server->stop();
    EXPECT_EQ(w.peer.server->connectionsServed(), 3u);
}

}  // namespace
}  // namespace kv
