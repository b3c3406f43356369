#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/EmuOptions.h"
#include "emulator/PrinterModel.h"
#include "image/Sha256.h"
#include "emulator/TcpServer.h"
#include "platform/sim/VirtualClock.h"
#include "tests/emulator/LoggedServer.h"

namespace kv::emulator {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
bool holds(const Bytes& reply, std::string_view what) {
    return text(reply).find(what) != std::string::npos;
}

constexpr std::string_view kEscFR = "\x1B*FR";
constexpr std::string_view kEscIA0F = "\x1BIA\x0F";

// An image whose bytes look like requests, so a model that parsed them would
// show it, with a version marker inside.
Bytes imageWithVersion(const std::string& version, size_t size) {
    Bytes image = bytes("\x1BIS<SA08><SS>\x1B*FR\x1BIA\x0F HDR FWV:" + version + "; ");
    for (size_t i = image.size(); i < size; ++i) image.push_back(static_cast<uint8_t>(i * 7));
    image.resize(size);
    return image;
}

// Reads everything pending and joins it.
Bytes drainAll(PrinterModel& model) {
    Bytes all;
    for (int i = 0; i < 20; ++i) {
        Bytes piece = model.read(1024);
        if (piece.empty()) break;
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

PrinterConfig usbConfig() {
    PrinterConfig c;
    c.link = LinkKind::Usb;
    return c;
}

struct LocalFlash {
    explicit LocalFlash(PrinterConfig config = usbConfig())
        : config(config), model(config, &clock) {
        model.read(1024);  // the power-up status
    }
    // ESC *FR and ESC IA 0F with their replies.
    std::pair<Bytes, Bytes> enter() {
        model.write(std::string(kEscFR));
        Bytes first = model.read(1024);
        model.write(std::string(kEscIA0F));
        return {first, model.read(1024)};
    }
    PrinterConfig config;
    platform::sim::VirtualClock clock;
    PrinterModel model;
};

TEST(FlashModelLocal, EntryImageResetAndNewVersion) {
    for (LinkKind link : {LinkKind::Usb, LinkKind::Parallel}) {
        PrinterConfig c;
        c.link = link;
        LocalFlash f(c);
        const auto [first, second] = f.enter();
        EXPECT_EQ(first, buildStatusReply('S', 0, 0, "")) << "an ordinary status reply";
        EXPECT_TRUE(holds(second, "FLASH READY"));
        EXPECT_EQ(second[0], 'E');
        EXPECT_EQ(f.model.flashPhase(), FlashPhase::Receiving);

        const Bytes image = imageWithVersion("V9.87", 3000);
        if (link == LinkKind::Parallel) f.model.write(Bytes{0x00}.data(), 1);
        EXPECT_EQ(f.model.write(image.data(), 1000), 1000u);
        f.clock.advanceMs(100);  // a short pause between blocks is no end
        EXPECT_EQ(f.model.write(image.data() + 1000, 2000), 2000u);
        EXPECT_EQ(f.model.flashImage(), image) << "the parallel 0x00 is not image data";
        EXPECT_TRUE(f.model.requestLog().size() > 0);

        // The host waits its reset time, then probes: the printer is back.
        f.clock.advanceMs(26000);
        const auto id = f.model.queryDeviceId();
        ASSERT_TRUE(id);
        EXPECT_EQ(*id, "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V9.87;");
        EXPECT_EQ(f.model.firmwareText(), "V9.87");
        EXPECT_EQ(f.model.flashPhase(), FlashPhase::Idle);
        f.model.write("\x1BIC");
        EXPECT_TRUE(holds(drainAll(f.model), "V9.87"));
        const FlashSummary s = f.model.flashSummary();
        EXPECT_EQ(s.flashes, 1u);
        EXPECT_EQ(s.imageBytes, 3000u);
        EXPECT_EQ(s.versionBefore, "V5.12");
        EXPECT_EQ(s.versionNow, "V9.87");
    }
}

TEST(FlashModelLocal, ResetIsDatedFromTheLastByteAndLastsTheResetTime) {
    struct Case {
        uint64_t probeAfterMs;  // from the last image byte
        bool answers;
    };
    // quiet 1000 + reset 5000: a probe 500 ms after the last byte ends the
    // image there and finds the printer away until 5500.
    const std::vector<Case> cases = {{6000, true}, {5999, false}, {500, false}, {30000, true}};
    for (const Case& c : cases) {
        LocalFlash f;
        f.enter();
        const Bytes image = imageWithVersion("V7.00", 600);
        f.model.write(image.data(), image.size());
        f.clock.advanceMs(c.probeAfterMs);
        EXPECT_EQ(f.model.queryDeviceId().has_value(), c.answers) << c.probeAfterMs;
        EXPECT_EQ(f.model.offline(), !c.answers) << c.probeAfterMs;
        if (!c.answers) {
            EXPECT_TRUE(f.model.read(1024).empty()) << "a resetting printer has no status";
            const uint64_t endedAt = std::min<uint64_t>(c.probeAfterMs, 1000);
            f.clock.advanceMs(endedAt + 5000 - c.probeAfterMs);
            EXPECT_TRUE(f.model.queryDeviceId().has_value()) << c.probeAfterMs;
        }
        EXPECT_EQ(f.model.firmwareText(), "V7.00");
    }
}

TEST(FlashModelLocal, EmptyImageAndPollingRead) {
    LocalFlash f;
    f.enter();
    // The host's start delay and reset wait pass without a byte; its first
    // read finds nothing pending, which is a poll.
    f.clock.advanceMs(43000);
    EXPECT_FALSE(f.model.read(1024).empty()) << "back, with its power-up status";
    EXPECT_EQ(f.model.flashImage(), Bytes{});
    EXPECT_EQ(f.model.firmwareText(), "V5.12") << "an empty image carries no version";
}

TEST(FlashModelLocal, NoBenignZeroOnAParallelPortCountsAsImage) {
    PrinterConfig c;
    c.link = LinkKind::Parallel;
    LocalFlash f(c);
    f.enter();
    const Bytes image = {0x01, 0x00, 0x02};
    f.model.write(image.data(), image.size());
    EXPECT_EQ(f.model.flashImage(), image);
    const auto log = f.model.requestLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "no parallel 0x00 after flash-mode entry"),
              log.end());
}

TEST(FlashModelLocal, FlashModeRequestWithoutEscFR) {
    LocalFlash f;
    f.model.write(std::string(kEscIA0F));
    const Bytes reply = f.model.read(1024);
    EXPECT_FALSE(holds(reply, "FLASH READY"));
    EXPECT_EQ(f.model.flashPhase(), FlashPhase::Idle);
}

TEST(FlashModelZor1, ProgrammingCommandLengths) {
    struct Case {
        Bytes tail;  // bytes 5 to 8
        uint64_t length;
    };
    const std::vector<Case> cases = {
        {{0x56, 0x34, 0x12, 0x00}, 0x123456},  {{0x00, 0x00, 0xFF, 0x00}, 0xFF0000},
        {{0x00, 0x00, 0xFF, 0x01}, 0x1000000}, {{0x00, 0x00, 0x00, 0x00}, 0},
        {{0xFF, 0xFF, 0xFE, 0x00}, 0xFEFFFF},
    };
    for (const Case& c : cases) {
        Bytes command = {0x1A, 0x75, 0xAA, 0x55, 0x80};
        command.insert(command.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(PrinterModel::programCommandLength(command.data()), c.length);
    }
}

TEST(FlashModelZor1, PayloadThenResetThenNewVersionChars) {
    PrinterConfig c;
    c.link = LinkKind::Usb;
    c.zor1Family = true;
    c.resetMs = 4000;
    LocalFlash f(c);
    const Bytes payload = imageWithVersion("V6.21", 20000);
    const Bytes command = {0x1A, 0x75, 0xAA, 0x55, 0x80, 0x20, 0x4E, 0x00, 0x00};  // 20000
    // The command arrives in two pieces; the payload in blocks.
    f.model.write(command.data(), 6);
    EXPECT_EQ(f.model.flashPhase(), FlashPhase::Idle);
    f.model.write(command.data() + 6, 3);
    EXPECT_EQ(f.model.flashPhase(), FlashPhase::Receiving);
    EXPECT_TRUE(f.model.read(1024).empty()) << "the command has no reply";
    f.model.write(payload.data(), 8192);
    f.model.write(payload.data() + 8192, 8192);
    f.model.write(payload.data() + 16384, payload.size() - 16384);
    EXPECT_EQ(f.model.flashImage(), payload);
    EXPECT_TRUE(f.model.offline()) << "resets as soon as the payload is complete";
    f.model.write("\x1D\x49\x41");  // ignored while away
    EXPECT_TRUE(f.model.read(1024).empty());
    f.clock.advanceMs(4000);
    EXPECT_FALSE(f.model.offline());
    f.model.write("\x1D\x49\x41");
    EXPECT_EQ(f.model.read(1024), bytes("6.21"));
}

TEST(FlashModelZor1, EmptyPayloadResetsAtOnce) {
    PrinterConfig c;
    c.link = LinkKind::Parallel;
    c.zor1Family = true;
    LocalFlash f(c);
    const Bytes command = {0x1A, 0x75, 0xAA, 0x55, 0x80, 0, 0, 0, 0};
    f.model.write(command.data(), command.size());
    EXPECT_TRUE(f.model.offline());
    EXPECT_TRUE(f.model.flashImage().empty());
}

TEST(FlashModelTcp, EntryImageAndReconnect) {
    PrinterConfig c;
    c.flashReadyText = "\x06<SA15> OK - FLASH READY - send image\r\n";
    platform::sim::VirtualClock clock;
    PrinterModel model(c, &clock);
    model.write(std::string(kEscFR));
    EXPECT_FALSE(model.hasPending()) << "ESC *FR has no reply over TCP";
    // "<SA15>" and the first image bytes in one piece.
    const Bytes image = imageWithVersion("V5.20", 9000);
    Bytes wire = bytes("<SA15>");
    wire.insert(wire.end(), image.begin(), image.begin() + 100);
    model.write(wire.data(), wire.size());
    EXPECT_EQ(text(model.read(1024)), c.flashReadyText);
    model.write(image.data() + 100, image.size() - 100);
    EXPECT_EQ(model.flashImage(), image);
    EXPECT_FALSE(model.hasPending()) << "image bytes are never parsed";

    clock.advanceMs(26000);
    model.linkReset();  // the host's next connection
    EXPECT_FALSE(model.offline());
    model.write("<SA08>");
    EXPECT_EQ(text(model.read(1024)), "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;");
}

TEST(FlashModelFaults, EachFaultAsTheHostSeesIt) {
    // Flash-mode reply without FLASH READY: no flash mode, bytes parsed.
    {
        PrinterConfig c;
        c.flashReadyMissing = true;
        platform::sim::VirtualClock clock;
        PrinterModel m(c, &clock);
        m.write(std::string(kEscFR) + "<SA15>");
        const Bytes reply = m.read(1024);
        EXPECT_FALSE(holds(reply, "FLASH READY"));
        EXPECT_FALSE(reply.empty());
        EXPECT_EQ(m.flashPhase(), FlashPhase::Idle);
        m.write("<SS>");
        EXPECT_EQ(m.read(1024).size(), 5u);
    }
    // Silence from ESC *FR on, until power-cycled.
    {
        PrinterConfig c;
        c.link = LinkKind::Usb;
        c.silentAfterFlashRequest = true;
        LocalFlash f(c);
        f.model.write(std::string(kEscFR));
        EXPECT_TRUE(f.model.read(1024).empty());
        f.model.write(std::string(kEscIA0F));
        EXPECT_TRUE(f.model.read(1024).empty());
        EXPECT_FALSE(f.model.queryDeviceId());
        f.model.powerCycle();
        EXPECT_TRUE(f.model.queryDeviceId());
        EXPECT_FALSE(f.model.read(1024).empty());
    }
    // Link dropped after N image bytes: cut off, old firmware afterwards.
    {
        PrinterConfig c;
        c.link = LinkKind::Usb;
        c.dropAfterImageBytes = 5000;
        LocalFlash f(c);
        f.enter();
        const Bytes image = imageWithVersion("V8.00", 8192);
        EXPECT_EQ(f.model.write(image.data(), image.size()), 5000u);
        EXPECT_TRUE(f.model.linkDropped());
        EXPECT_EQ(f.model.write(image.data(), 10), 0u);
        EXPECT_EQ(f.model.flashImage(), Bytes(image.begin(), image.begin() + 5000));
        f.clock.advanceMs(30000);
        f.model.linkReset();
        EXPECT_TRUE(f.model.queryDeviceId());
        EXPECT_EQ(f.model.firmwareText(), "V5.12");
        EXPECT_TRUE(f.model.flashSummary().incomplete);
    }
    // Short writes: each write takes at most the limit, nothing is lost.
    {
        PrinterConfig c;
        c.link = LinkKind::Usb;
        c.writeLimit = 700;
        LocalFlash f(c);
        f.enter();
        const Bytes image = imageWithVersion("V8.01", 2000);
        size_t at = 0;
        std::vector<size_t> takes;
        while (at < image.size()) {
            const size_t took = f.model.write(image.data() + at, image.size() - at);
            takes.push_back(took);
            at += took;
        }
        EXPECT_EQ(takes, (std::vector<size_t>{700, 700, 600}));
        EXPECT_EQ(f.model.flashImage(), image);
    }
    // Never comes back.
    {
        PrinterConfig c;
        c.neverComesBack = true;
        platform::sim::VirtualClock clock;
        PrinterModel m(c, &clock);
        m.write(std::string(kEscFR) + "<SA15>");
        m.read(1024);
        m.write("image FWV:V1.00;");
        clock.advanceMs(600000);
        m.linkReset();
        EXPECT_TRUE(m.offline());
        EXPECT_EQ(m.flashPhase(), FlashPhase::Dead);
        m.write("<SA08>");
        EXPECT_FALSE(m.hasPending());
    }
}

TEST(FlashModelClockless, ResetTakesNoTime) {
    PrinterModel m;
    m.write(std::string(kEscFR) + "<SA15>");
    m.read(1024);
    m.write("FWV:V2.00;");
    m.linkReset();
    EXPECT_FALSE(m.offline());
    EXPECT_EQ(m.firmwareText(), "V2.00");
}

TEST(EmuFlashOptions, FlagsAndSummary) {
    std::string error;
    const auto o = parseEmuOptions(
        {"--flash-ready-text", "OK FLASH READY", "--flash-quiet", "2000", "--reset-time", "0x10",
         "--not-ready", "--no-flash-ready", "--silent-after-fr", "--drop-image-after", "100",
         "--short-writes", "64", "--never-back"},
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->printer.flashReadyText, "OK FLASH READY");
    EXPECT_EQ(o->printer.flashQuietMs, 2000u);
    EXPECT_EQ(o->printer.resetMs, 16u);
    EXPECT_EQ(o->printer.statusByte3, 0x80);
    EXPECT_TRUE(o->printer.flashReadyMissing);
    EXPECT_TRUE(o->printer.silentAfterFlashRequest);
    EXPECT_EQ(o->printer.dropAfterImageBytes, 100u);
    EXPECT_EQ(o->printer.writeLimit, 64u);
    EXPECT_TRUE(o->printer.neverComesBack);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--short-writes", "0"},
                                                 {"--reset-time", "soon"},
                                                 {"--drop-image-after"}}) {
        EXPECT_FALSE(parseEmuOptions(args, error)) << args[0];
    }

    PrinterModel m;
    m.write(std::string(kEscFR) + "<SA15>abcFWV:V3.3;");
    m.linkReset();
    const std::string summary = exitSummary(m, 2);
    const std::string expected =
        "connections served: 2\n"
        "bytes received: 22\n"
        "flashes: 1\n"
        "flash-mode bytes: 12\n"
        "flash-mode SHA-256: " +
        sha256Hex(bytes("abcFWV:V3.3;")) +
        "\n"
        "firmware before: V5.12\n"
        "firmware after: V3.3\n"
        "printer state: idle\n";
    EXPECT_EQ(summary, expected);
}

// The server side: a reconnect takes over from the flash connection the
// host leaves open, and a resetting printer closes new connections at once.
struct FlashServer : LoggedServer {
    explicit FlashServer(PrinterConfig config, TcpServer::Options options = {})
        : LoggedServer(config, true, std::move(options)) {
        EXPECT_TRUE(server->start());
    }
    platform::SocketHandle connect() {
        const platform::SocketHandle s = client.openTcp();
        EXPECT_TRUE(client.connect(s, *parseDottedQuad("127.0.0.1"), server->port()));
        return s;
    }
    void send(platform::SocketHandle s, const Bytes& data) {
        EXPECT_EQ(client.send(s, data.data(), data.size()), static_cast<int64_t>(data.size()));
    }
    Bytes receive(platform::SocketHandle s) {
        uint8_t buffer[1024];
        const int64_t n = client.receive(s, buffer, sizeof buffer);
        return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
    }
    std::unique_ptr<platform::Network> network = testing::makeHostNetwork({2000, 2000, 2000});
    platform::Network& client = *network;
};

TEST(FlashServerTest, ReconnectAfterTheImageFindsTheNewVersion) {
    for (bool neverBack : {false, true}) {
        PrinterConfig c;
        c.neverComesBack = neverBack;
        FlashServer s(c);
        const platform::SocketHandle flash = s.connect();
        s.send(flash, bytes(std::string(kEscFR) + "<SA15>"));
        EXPECT_EQ(text(s.receive(flash)), "FLASH READY");
        const Bytes image = imageWithVersion("V4.44", 20000);
        s.send(flash, image);
        // The host's clock moves on only once the printer has the image.
        ASSERT_TRUE(s.server->waitForBytesReceived(10 + image.size(), std::chrono::seconds(10)));
        s.clock.advanceMs(26000);
        // The flash connection stays open; a new one comes in.
        const platform::SocketHandle probe = s.connect();
        s.send(probe, bytes("<SA08>"));
        const Bytes reply = s.receive(probe);
        if (neverBack) {
            EXPECT_TRUE(reply.empty()) << "closed at once";
        } else {
            EXPECT_EQ(text(reply), "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V4.44;");
        }
        uint8_t b;
        EXPECT_EQ(s.client.receive(flash, &b, 1), 0) << "the flash connection gave way";
        EXPECT_EQ(s.model.flashImage(), image);
        const auto log = s.log();
        EXPECT_NE(std::find(log.begin(), log.end(),
                            "[1] connection closed (a newer connection is waiting)"),
                  log.end());
        EXPECT_NE(
            std::find(log.begin(), log.end(),
                      neverBack
                          ? "[2] connection closed (printer never came back)"
                          : "[2] \"<SA08>\" -> " +
                                std::string("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V4.44;") +
                                " (50 bytes)"),
            log.end());
        s.client.close(flash);
        s.client.close(probe);
        s.server->stop();
    }
}

// A printer that stops reading mid-image takes exactly its share and leaves
// the rest of the host's bytes unread, until a newer connection comes; it
// comes back on its old firmware.
TEST(FlashServerTest, StopsReadingAfterItsShareOfTheImage) {
    PrinterConfig c;
    c.stopReadingAfterImageBytes = 1000;
    FlashServer s(c);
    const platform::SocketHandle flash = s.connect();
    s.send(flash, bytes(std::string(kEscFR) + "<SA15>"));
    EXPECT_EQ(text(s.receive(flash)), "FLASH READY");
    const Bytes image = imageWithVersion("V4.44", 20000);
    s.send(flash, image);
    ASSERT_TRUE(s.server->waitForBytesReceived(10 + 1000, std::chrono::seconds(10)));
    const platform::SocketHandle probe = s.connect();
    s.send(probe, bytes("<SA08>"));
    EXPECT_TRUE(s.receive(probe).empty()) << "resetting after the cut image";
    EXPECT_EQ(s.server->bytesReceived(), 10u + 1000u);
    s.clock.advanceMs(6000);
    const platform::SocketHandle back = s.connect();
    s.send(back, bytes("<SA08>"));
    EXPECT_EQ(text(s.receive(back)), "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;");
    s.server->stop();
    EXPECT_EQ(s.model.flashImage(), Bytes(image.begin(), image.begin() + 1000));
    const auto log = s.log();
    const auto stopped = std::find(log.begin(), log.end(), "[1] stopped reading");
    EXPECT_NE(stopped, log.end());
    EXPECT_NE(
        std::find(stopped, log.end(), "[1] connection closed (a newer connection is waiting)"),
        log.end());
    s.client.close(flash);
    s.client.close(probe);
    s.client.close(back);
}

}  // namespace
}  // namespace kv::emulator
