#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/EmuOptions.h"
#include "emulator/PrinterModel.h"
#include "emulator/TcpServer.h"
#include "tests/support/Files.h"
#include "tests/support/HostPlatform.h"
#include "tests/emulator/LoggedServer.h"

namespace kv::emulator {
namespace {

TEST(EmuAddress, ListenTexts) {
    struct Case {
        const char* text;
        bool ok;
        std::string formatted;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", true, "127.0.0.1:10001"},
        {"127.0.0.1:0", true, "127.0.0.1:0"},
        {"0.0.0.0:65535", true, "0.0.0.0:65535"},
        {"192.168.10.200:9100", true, "192.168.10.200:9100"},
        {"127.0.0.1:65536", false, ""},
        {"127.0.0.1:", false, ""},
        {"127.0.0.1:8x", false, ""},
        {"127.0.1", false, ""},
        {"256.0.0.1", false, ""},
        {"1.2.3.4.5", false, ""},
        {"localhost:10001", false, ""},
    };
    for (const Case& c : cases) {
        const auto at = parseListenAddress(c.text, 10001);
        ASSERT_EQ(at.has_value(), c.ok) << c.text;
        if (at) {
            EXPECT_EQ(formatAddress(at->address, at->port), c.formatted);
        }
    }
}

TEST(EmuOptionsTest, BuildsThePrinterFromTheCommandLine) {
    std::string error;
    const auto o = parseEmuOptions(
        {"--listen", "127.0.0.1:0", "--device-id", "MDL:X;", "--status", "0x01,8", "--busy",
         "--reply-split", "3", "--zor1", "--hw-status", "0x18", "--version-prefix",
         "--version-bursts", "4,2", "--link", "usb", "--status-reply", "53 30 30"},
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->listenPort, 0);
    EXPECT_EQ(o->printer.deviceId, "MDL:X;");
    EXPECT_EQ(o->printer.statusByte3, 0x01);
    EXPECT_EQ(o->printer.statusByte4, 0x28) << "8 with the busy bit";
    EXPECT_EQ(o->printer.replySplit, 3u);
    EXPECT_TRUE(o->printer.zor1Family);
    EXPECT_EQ(o->printer.hwStatusByte, 0x18);
    EXPECT_TRUE(o->printer.versionPrefixAA55);
    EXPECT_EQ(o->printer.versionBursts, (std::vector<size_t>{4, 2}));
    EXPECT_EQ(o->printer.link, LinkKind::Usb);
    EXPECT_EQ(o->printer.statusReplyOverride, (std::vector<uint8_t>{'S', '0', '0'}));
    EXPECT_FALSE(o->printer.statusStaysPending) << "a stream carries replies to requests only";

    // By default only this machine reaches it, and it keeps at most an image's worth.
    const auto plain = parseEmuOptions({}, error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->listenAddress, "127.0.0.1");
    EXPECT_EQ(plain->printer.keepBytes, kMaxFirmwareImageBytes);
    EXPECT_EQ(parseEmuOptions({"--keep-bytes", "4096"}, error)->printer.keepBytes, 4096u);

    const std::vector<std::vector<std::string>> bad = {
        {"--status", "1"},
        {"--status", "1,256"},
        {"--status"},
        {"--reply-split", "x"},
        {"--link", "serial"},
        {"--version-chars", "12345"},
        {"--status-reply", "5"},
        {"--listen", "host"},
        {"--frobnicate"},
        {"--keep-bytes", "67108865"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(parseEmuOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

// Every option the usage names is read: alone, a flag is taken and an
// option that takes a value asks for it.
TEST(EmuOptionsTest, EveryOptionOfTheUsageIsRead) {
    size_t named = 0;
    for (const std::string& line : testing::lines(kEmuUsage)) {
        if (line.rfind("  --", 0) != 0) continue;
        const std::string name = line.substr(2, line.find(' ', 2) - 2);
        const bool takesValue = line.compare(2 + name.size(), 2, "  ") != 0;
        std::string error;
        const auto o = parseEmuOptions({name}, error);
        EXPECT_EQ(o.has_value(), !takesValue) << name << ": " << error;
        if (takesValue) {
            EXPECT_EQ(error, name + " needs a value");
        }
        ++named;
    }
    EXPECT_EQ(named, 39u);
}

TEST(TcpServerTest, LogsEveryRequestAndEndsOnStopEvenWithAClientConnected) {
    LoggedServer s;
    ASSERT_TRUE(s.server->start());
    const uint16_t port = s.server->port();
    ASSERT_NE(port, 0);

    const auto network = testing::makeHostNetwork({2000, 2000, 2000});
    platform::Network& client = *network;
    const platform::SocketHandle c = client.openTcp();
    ASSERT_TRUE(client.connect(c, *parseDottedQuad("127.0.0.1"), port));
    const std::string request = "<SS>junk";
    ASSERT_EQ(client.send(c, reinterpret_cast<const uint8_t*>(request.data()), request.size()), 8);
    uint8_t reply[64];
    ASSERT_EQ(client.receive(c, reply, sizeof reply), 5);

    s.server->stop();  // the client is still connected and idle
    EXPECT_EQ(client.receive(c, reply, sizeof reply), 0) << "the server closed its end";
    client.close(c);

    const std::vector<std::string> log = s.log();
    const std::vector<std::string> expected = {
        "listening on 127.0.0.1:" + std::to_string(port),
        "[1] connection opened",
        "[1] \"<SS>\" -> S00\\x00\\x00 (5 bytes: 53 30 30 00 00)",
        "[1] unrecognised 4 bytes: junk",
        "[1] connection closed (server stopping)",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(s.server->connectionsServed(), 1u);
}

TEST(TcpServerTest, PortInUseIsReported) {
    LoggedServer first;
    ASSERT_TRUE(first.server->start());
    LoggedServer second;
    TcpServer::Options options;
    options.port = first.server->port();
    options.log = [&second](const std::string& line) { second.lines.push_back(line); };
    TcpServer clash(second.model, *second.net, options);
    EXPECT_FALSE(clash.start());
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(second.lines[0].rfind("cannot listen on 127.0.0.1:", 0), 0u);
}

}  // namespace
}  // namespace kv::emulator
