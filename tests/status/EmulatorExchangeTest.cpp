// The exchanges against the printer emulator attached as a local device.
#include <gtest/gtest.h>

#include "emulator/PrinterModel.h"
#include "status/StatusExchange.h"
#include "tests/status/StatusWorld.h"

namespace kv {
namespace {

using testing::Bytes;
using testing::concat;
using testing::join;
using testing::silentWindow;

const char* const kUsbPath =
    "\\\\?\\usb#vid_1234&pid_0001#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

struct EmulatedPrinter {
    std::shared_ptr<emulator::PrinterModel> model;
    testing::StatusWorld world;

    EmulatedPrinter(emulator::PrinterConfig config, const std::string& path)
        : model(std::make_shared<emulator::PrinterModel>(withLink(config, path))),
          world(path, model) {
        world.printer.isZor1Family = config.zor1Family;
        world.printer.portType = path.rfind("LPT", 0) == 0 ? PORT_TYPE_PARALLEL : PORT_TYPE_USB;
        world.printer.deviceId = config.deviceId;
    }

    static emulator::PrinterConfig withLink(emulator::PrinterConfig c, const std::string& path) {
        c.link = path.rfind("LPT", 0) == 0 ? emulator::LinkKind::Parallel : emulator::LinkKind::Usb;
        return c;
    }
};

TEST(EmulatorExchange, StatusRequestBringsTheCReplyWithTheFirmwareVersion) {
    emulator::PrinterConfig config;
    config.deviceId = "MFG:KV;MDL:ZOW3004F;FWV:V5.12;";
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(true, testing::kCommandC);
    ASSERT_TRUE(r.ok);
    ASSERT_GT(r.reply.size(), 33u);
    EXPECT_EQ(r.reply[0], 'C');
    EXPECT_EQ(std::string(r.reply.begin() + 33, r.reply.end()), "V5.12");
    EXPECT_EQ(p.model->received(), testing::kCommandC);
}

TEST(EmulatorExchange, BusyPrinterGetsNoRequest) {
    emulator::PrinterConfig config;
    config.statusByte4 = 0x20;
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(true, testing::kCommandC);
    EXPECT_TRUE(r.ok);
    ASSERT_GE(r.reply.size(), 5u);
    EXPECT_EQ(r.reply[0], 'S');
    EXPECT_EQ(r.reply[4], 0x20);
    EXPECT_TRUE(p.model->received().empty());
    EXPECT_FALSE(isPrinterReady(p.world.sys, p.world.port, p.world.printer));
}

TEST(EmulatorExchange, UsbPrinterWithNothingPendingFailsWithoutARequest) {
    emulator::PrinterConfig config;
    config.statusAtPowerUp = false;
    config.statusStaysPending = false;
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(true, testing::kCommandC);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_TRUE(p.model->received().empty());
}

TEST(EmulatorExchange, ParallelPortReplaysWhatTheLastReadBrought) {
    emulator::PrinterConfig config;
    config.statusStaysPending = false;
    config.statusByte4 = 0x01;
    EmulatedPrinter p(config, "LPT2:");
    const auto first = p.world.exchange(false);
    ASSERT_TRUE(first.ok);
    ASSERT_EQ(first.reply[0], 'S');
    const auto second = p.world.exchange(false);
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(second.reply, first.reply);
    EXPECT_TRUE(isPrinterReady(p.world.sys, p.world.port, p.world.printer));  // low paper only
}

struct Zor1Case {
    const char* name;
    bool prefix;
    std::vector<size_t> bursts;
    std::vector<uint32_t> pauses;  // of the whole C exchange
};

void PrintTo(const Zor1Case& c, std::ostream* os) { *os << c.name; }

class Zor1Printer : public ::testing::TestWithParam<Zor1Case> {};

TEST_P(Zor1Printer, StatusAndNestedVersionRequest) {
    const Zor1Case& c = GetParam();
    emulator::PrinterConfig config;
    config.zor1Family = true;
    config.deviceId = "MFG:KV;MDL:ZOR1;FWV:V7.03;";  // no "(": the printer is asked
    config.hwStatusByte = 0x18;
    config.versionPrefixAA55 = c.prefix;
    config.versionBursts = c.bursts;
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(true, testing::kCommandC);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.reply.size(), 38u);
    EXPECT_EQ(r.reply[0], 'C');
    EXPECT_EQ(r.reply[4], 0xA1);
    EXPECT_EQ(std::string(r.reply.begin() + 33, r.reply.end()), "V7.03");
    EXPECT_EQ(p.model->received(), join(testing::kHwStatusRequest, testing::kVersionRequest));
    EXPECT_EQ(p.world.clock.pauses(), c.pauses);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Zor1Printer,
    ::testing::Values(
        // status gathered, nested: gathered, returned; status returned
        Zor1Case{"plain_version", false, {}, {100, 100, 100, 100}},
        Zor1Case{"pair_and_two_then_two", true, {4, 2}, {100, 100, 100, 100, 100}},
        Zor1Case{"pair_and_four_at_once", true, {6}, {100, 100, 100, 100}},
        Zor1Case{"byte_by_byte", true, {1, 1, 1, 1, 1, 1}, {100, 100, 100, 100, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EmulatorExchange, Zor1TwoStatusBytesAreALengthError) {
    emulator::PrinterConfig config;
    config.zor1Family = true;
    config.statusReplyOverride = Bytes{0x00, 0x00};
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
}

TEST(EmulatorExchange, SilentZor1PrinterFailsAfterTwoWindows) {
    emulator::PrinterConfig config;
    config.zor1Family = true;
    config.silent = true;
    EmulatedPrinter p(config, kUsbPath);
    const auto r = p.world.exchange(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(p.world.clock.pauses(), concat({silentWindow(), {500}, silentWindow()}));
    EXPECT_EQ(p.model->received(), testing::kHwStatusRequest);
}

}  // namespace
}  // namespace kv
