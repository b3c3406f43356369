// The printer on a USB gadget, driven turn by turn on a virtual clock
// against a fake gadget that records what the host would read.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "emulator/EmuOptions.h"
#include "emulator/GadgetServer.h"
#include "emulator/PrinterModel.h"
#include "platform/UsbGadget.h"
#include "platform/sim/VirtualClock.h"

namespace kv::emulator {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::string kId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
const Bytes kStatusS = buildStatusReply('S', 0, 0, "");

// The host side of the gadget: what it wrote waits for the printer's reads;
// what the printer wrote is kept in order, and `taken` says whether the
// host has fetched the last of it.
struct FakeGadget : platform::UsbGadget {
    explicit FakeGadget(platform::sim::VirtualClock& c) : clock(c) {}
    platform::Result<void> plug(const std::string& id) override {
        plugged.push_back(id);
        pluggedAt.push_back(clock.tickMs());
        in = true;
        taken = true;
        return {};
    }
    void unplug() override {
        in = false;
        unpluggedAt.push_back(clock.tickMs());
    }
    platform::Result<size_t> read(uint8_t* buffer, size_t capacity, uint32_t waitMs) override {
        ++reads;
        if (!in) return platform::Failure{"unplugged"};
        if (hostWrites.empty()) {
            clock.sleepMs(waitMs);
            return size_t{0};
        }
        Bytes& next = hostWrites.front();
        const size_t n = std::min(capacity, next.size());
        std::copy_n(next.begin(), n, buffer);
        next.erase(next.begin(), next.begin() + static_cast<ptrdiff_t>(n));
        if (next.empty()) hostWrites.pop_front();
        return n;
    }
    bool idle() override { return in && taken; }
    platform::Result<void> write(const uint8_t* data, size_t length) override {
        sent.emplace_back(data, data + length);
        sentAt.push_back(clock.tickMs());
        taken = false;
        return {};
    }
    platform::Result<void> setPortStatus(uint8_t bits) override {
        status = bits;
        return {};
    }

    platform::sim::VirtualClock& clock;
    std::deque<Bytes> hostWrites;
    std::vector<Bytes> sent;
    std::vector<uint64_t> sentAt;
    std::vector<std::string> plugged;
    std::vector<uint64_t> pluggedAt;
    std::vector<uint64_t> unpluggedAt;
    size_t reads = 0;
    bool in = false;
    bool taken = true;
    uint8_t status = 0xFF;
};

PrinterConfig usbPrinter() {
    PrinterConfig c;
    c.link = LinkKind::Usb;
    c.deviceId = kId;
    c.statusAtPowerUp = false;
    c.statusStaysPending = false;
    c.flashQuietMs = 1000;
    c.resetMs = 5000;
    return c;
}

struct GadgetWorld {
    explicit GadgetWorld(PrinterConfig config = usbPrinter(), GadgetServer::Options options = {})
        : model(std::move(config), &clock), gadget(clock), server(model, gadget, clock, options) {}
    // Turns until the clock reaches `ms` from now.
    void runFor(uint64_t ms) {
        const uint64_t until = clock.tickMs() + ms;
        while (clock.tickMs() < until) server.turn();
    }
    void hostWrites(const Bytes& b) { gadget.hostWrites.push_back(b); }

    platform::sim::VirtualClock clock;
    PrinterModel model;
    FakeGadget gadget;
    GadgetServer server;
};

TEST(GadgetServer, OffersItsStatusOneAtATimeAndRepliesGoFirst) {
    GadgetWorld w;
    w.server.turn();
    ASSERT_EQ(w.gadget.plugged, std::vector<std::string>{kId});
    EXPECT_EQ(w.gadget.status, platform::kPortSelected | platform::kPortNotError);

    w.runFor(280);
    EXPECT_TRUE(w.gadget.sent.empty()) << "a status offered before the repeat time";
    w.runFor(40);
    ASSERT_EQ(w.gadget.sent.size(), 1u);
    EXPECT_EQ(w.gadget.sent[0], kStatusS);

    // Not taken by the host: nothing more, however long.
    w.runFor(3000);
    EXPECT_EQ(w.gadget.sent.size(), 1u);

    // A request: its reply is offered as soon as the status before it was
    // taken, with no status of the printer's own in between.
    w.hostWrites(
        bytes("\x1B"
              "IC"));
    w.runFor(100);
    EXPECT_EQ(w.gadget.sent.size(), 1u);
    w.gadget.taken = true;
    w.runFor(40);
    ASSERT_EQ(w.gadget.sent.size(), 2u);
    EXPECT_EQ(w.gadget.sent[1][0], 'C');
    const uint64_t replyAt = w.gadget.sentAt[1];

    w.gadget.taken = true;
    w.runFor(1000);
    ASSERT_EQ(w.gadget.sent.size(), 3u);
    EXPECT_EQ(w.gadget.sent[2], kStatusS);
    EXPECT_GE(w.gadget.sentAt[2] - replyAt, 300u);
    EXPECT_LT(w.gadget.sentAt[2] - replyAt, 400u);
}

TEST(GadgetServer, FlashImageEndsOnQuietThenLeavesTheBusAndComesBackWithTheNewVersion) {
    GadgetWorld w;
    w.server.turn();
    w.hostWrites(bytes("\x1B*FR"));
    w.runFor(50);
    w.gadget.taken = true;
    w.hostWrites(bytes("\x1BIA\x0F"));
    w.runFor(50);
    ASSERT_EQ(w.gadget.sent.size(), 2u);
    EXPECT_NE(std::string(w.gadget.sent[1].begin(), w.gadget.sent[1].end()).find("FLASH READY"),
              std::string::npos);
    w.gadget.taken = true;

    // The start delay and the programming pause: quiet, yet no image came.
    w.runFor(5000);
    EXPECT_TRUE(w.server.plugged());
    EXPECT_EQ(w.gadget.sent.size(), 2u) << "no status in flash mode";

    Bytes image(4096, 0x5A);
    const std::string marker = "FWV:V5.20;";
    std::copy(marker.begin(), marker.end(), image.begin() + 100);
    w.hostWrites(image);
    w.runFor(900);
    EXPECT_TRUE(w.server.plugged());
    w.runFor(200);
    ASSERT_FALSE(w.server.plugged());
    ASSERT_EQ(w.gadget.unpluggedAt.size(), 1u);

    w.runFor(6000);
    ASSERT_EQ(w.gadget.plugged.size(), 2u);
    EXPECT_EQ(w.gadget.plugged[1], "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;");
    EXPECT_GE(w.gadget.pluggedAt[1] - w.gadget.unpluggedAt[0], 3900u);
    EXPECT_EQ(w.model.flashImage(), image);
}

TEST(GadgetServer, Faults) {
    struct Case {
        const char* name;
        PrinterConfig printer;
        GadgetServer::Options options;
        bool pluggedAtEnd;
        bool hostBytesLeftUnread;
        uint64_t imageBytes;
    };
    GadgetServer::Options unplug;
    unplug.unplugAfterImageBytes = 1000;
    PrinterConfig stop = usbPrinter();
    stop.stopReadingAfterImageBytes = 1000;
    for (const Case& c : {Case{"pulled out mid-image", usbPrinter(), unplug, false, true, 1024},
                          Case{"stops reading", stop, {}, true, true, 1000}}) {
        SCOPED_TRACE(c.name);
        GadgetWorld w(c.printer, c.options);
        w.server.turn();
        w.hostWrites(bytes("\x1B*FR"));
        w.runFor(50);
        w.gadget.taken = true;
        w.hostWrites(bytes("\x1BIA\x0F"));
        w.runFor(50);
        for (int i = 0; i < 4; ++i) w.hostWrites(Bytes(512, 0x11));
        // Long enough for an image end and a reset, were it to happen.
        w.runFor(20000);
        EXPECT_EQ(w.server.plugged(), c.pluggedAtEnd);
        EXPECT_EQ(w.gadget.plugged.size(), 1u) << "never back on the bus";
        EXPECT_EQ(!w.gadget.hostWrites.empty(), c.hostBytesLeftUnread);
        EXPECT_EQ(w.model.flashSummary().imageBytes, c.imageBytes);
        EXPECT_TRUE(w.model.flashSummary().incomplete);
    }
}

TEST(GadgetServer, UnaskedStatusWaitsInFrontOfTheNextReply) {
    GadgetServer::Options o;
    o.unaskedStatusMs = 1000;
    o.statusRepeatMs = 100000;  // only the unasked one
    GadgetWorld w(usbPrinter(), o);
    w.server.turn();
    w.hostWrites(bytes("\x1BIC"));
    w.runFor(50);
    ASSERT_EQ(w.gadget.sent.size(), 1u);  // the C reply, not taken yet
    w.runFor(1100);
    w.hostWrites(bytes("\x1BIC"));
    w.runFor(50);
    w.gadget.taken = true;
    w.runFor(30);
    w.gadget.taken = true;
    w.runFor(30);
    ASSERT_EQ(w.gadget.sent.size(), 3u);
    EXPECT_EQ(w.gadget.sent[1], kStatusS) << "the unasked status goes out before the reply";
    EXPECT_EQ(w.gadget.sent[2][0], 'C');
}

TEST(GadgetServer, PortStatusFollowsTheStatusBytes) {
    struct Case {
        uint8_t byte3, byte4, bits;
    };
    using namespace platform;
    for (const Case& c :
         {Case{0x00, 0x00, kPortSelected | kPortNotError},
          Case{0x00, 0x01, kPortSelected | kPortNotError},  // low paper
          Case{0x00, 0x20, kPortSelected},                  // busy
          Case{0x80, 0x00, 0},                              // not ready
          Case{0x01, 0x00, kPortSelected | kPortPaperEmpty}, Case{0x02, 0x00, kPortSelected}}) {
        EXPECT_EQ(portStatusBits(c.byte3, c.byte4), c.bits) << int(c.byte3) << "," << int(c.byte4);
    }
}

TEST(GadgetServer, CommandLine) {
    std::string error;
    const auto o = parseEmuOptions({"--gadget", "/dev/g_printer0", "--paper-out", "--status-repeat",
                                    "250", "--unplug-after-image", "0x400",
                                    "--stop-reading-after-image", "10", "--unasked-status", "900"},
                                   error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->gadgetNode, "/dev/g_printer0");
    EXPECT_EQ(o->printer.link, LinkKind::Usb);
    EXPECT_EQ(o->printer.statusByte3, 0x01);
    EXPECT_EQ(o->usbSerial, "5A4F573330303446");  // "ZOW3004F", as the host decodes it
    EXPECT_EQ(o->statusRepeatMs, 250u);
    EXPECT_EQ(o->unplugAfterImageBytes, 1024u);
    EXPECT_EQ(o->printer.stopReadingAfterImageBytes, 10u);
    EXPECT_EQ(o->unaskedStatusMs, 900u);
    EXPECT_EQ(serialNamingModel("MFG:KV;"), "");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--gadget", "g_printer0"},
                                                 {"--status-repeat", "0"},
                                                 {"--usb-product-id", "0x10000"}}) {
        EXPECT_FALSE(parseEmuOptions(args, error)) << args[0];
    }
}

}  // namespace
}  // namespace kv::emulator
