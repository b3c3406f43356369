#include <gtest/gtest.h>

#include "status/StatusExchange.h"
#include "tests/status/StatusWorld.h"

namespace kv {
namespace {

using testing::Bytes;
using testing::bytes;
using testing::concat;
using testing::silentWindow;

const char* const kIdWithVersion = "MFG:KV;CMD:FGL;MDL:ZOR1;FWV:V1234(B);";
const char* const kPath =
    "\\\\?\\usb#vid_1234&pid_0001#zor1x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

struct Zor1World : testing::StatusWorld {
    explicit Zor1World(emulator::SimDeviceOptions options = {})
        : StatusWorld(kPath, nullptr, options) {
        printer.isZor1Family = true;
        printer.deviceId = kIdWithVersion;
    }

    Result version() {
        std::array<uint8_t, kStatusReplySize> buffer{};
        uint32_t length = kStatusReplySize;
        const bool ok = ReadCommandStatus(sys, port, buffer.data(), length, true,
                                          testing::kCommandVersion.data(), 4, printer);
        return {ok, Bytes(buffer.begin(), buffer.begin() + std::min(length, kStatusReplySize)),
                length};
    }
};

TEST(EmulatedExchange, SendFlagClearAsksTheHwStatusAndReturnsTheSString) {
    Zor1World w;
    w.reply({0x00});
    const auto r = w.exchange(false, testing::kCommandC);  // request ignored without the flag
    EXPECT_TRUE(r.ok);
    const Bytes s{'S', '0', '0', 0x00, 0x00};
    EXPECT_EQ(r.reply, s);
    EXPECT_EQ(w.lastStatus(), s);
    EXPECT_EQ(w.written(), testing::kHwStatusRequest);
    // end of the gathering window, then before the successful return
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100, 100}));
    const auto lines = w.trace.lines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0],
              "GetPrinterStatusData - Entry ****************************************************");
    EXPECT_EQ(lines[4], "ReadCommandStatus - Valid specific status command string\r\n");
    EXPECT_EQ(lines[6], "\r\n");
    EXPECT_EQ(lines[7], "ReadCommandStatus - Get Status, Specific or HeartBeat\r\n");
    EXPECT_TRUE(
        w.trace.contains("ReadCommandStatus - characters to read = 1, actually read = 1\r\n"));
    EXPECT_EQ(lines.back(),
              "GetPrinterStatusData - Good return from reading after request "
              "****************************************************\r\n");
}

TEST(EmulatedExchange, EachCommandReturnsItsString) {
    struct Case {
        Bytes command;
        char kind;
        size_t length;
    };
    const Case cases[] = {
        {testing::kCommandS, 'S', 5},
        {testing::kCommandN, 'N', 10},
        {testing::kCommandE, 'E', 19},
        {testing::kCommandC, 'C', 38},
    };
    for (const Case& c : cases) {
        Zor1World w;
        w.reply({0x10});
        const auto r = w.exchange(true, c.command);
        ASSERT_TRUE(r.ok) << c.kind;
        ASSERT_EQ(r.reply.size(), c.length) << c.kind;
        EXPECT_EQ(r.reply[0], c.kind);
        EXPECT_EQ(r.reply[3], 0x00);
        EXPECT_EQ(r.reply[4], 0xA0);
        EXPECT_EQ(w.lastStatus(), r.reply);
        EXPECT_EQ(w.written(), testing::kHwStatusRequest);
    }
}

TEST(EmulatedExchange, CReplyCarriesTheFirmwareTextAtOffset33) {
    Zor1World w;
    w.reply({0x00});
    const auto r = w.exchange(true, testing::kCommandC);
    ASSERT_TRUE(r.ok);
    Bytes expected{'C', '0', '0', 0x00, 0x00, '0', '1', 0x00, 0x00, 0x00};
    for (char c : std::string("0200000000"
                              "0300C"
                              "04"))
        expected.push_back(uint8_t(c));
    expected.insert(expected.end(), {0x00, 0x00});
    for (char c : std::string("0505V1234")) expected.push_back(uint8_t(c));
    EXPECT_EQ(r.reply, expected);
    EXPECT_EQ(std::string(r.reply.begin() + 33, r.reply.end()), "V1234");
    // the device ID carried the version: the printer was not asked
    EXPECT_EQ(w.written(), testing::kHwStatusRequest);
}

TEST(EmulatedExchange, TwoStatusBytesAtOnceAreALengthError) {
    Zor1World w;
    w.printer.lastStatusLength = 0;
    w.reply({0x00, 0x00});
    const auto r = w.exchange(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(w.printer.lastStatusLength, 0u);
    EXPECT_TRUE(w.trace.contains(
        "ReadCommandStatus - INVALID PRINTER STATUS LENGTH - characters to read = 1, actually "
        "read = 2\r\n"));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100, 100}));
}

TEST(EmulatedExchange, UnsupportedCommandFailsWithoutWriting) {
    Zor1World w;
    w.reply({0x00});
    const auto r = w.exchange(true, {0x1B, 0x49, 0x58});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_TRUE(w.written().empty());
    EXPECT_EQ(w.io.readCalls(w.path), 0u);
    EXPECT_TRUE(w.trace.contains(
        "ReadCommandStatus - getStatusTypeCommandArrayIndexHW - Unsupported Command\r\n"));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100}));
}

TEST(EmulatedExchange, SendFlagWithoutRequestIsUnsupported) {
    Zor1World w;
    const auto r = w.exchange(true);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(w.written().empty());
}

TEST(EmulatedExchange, SilentPrinterIsAskedTwiceThenFails) {
    Zor1World w;
    const auto r = w.exchange(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(w.written(), testing::kHwStatusRequest);  // gathered again, not re-sent
    EXPECT_EQ(w.clock.pauses(), concat({silentWindow(), {500}, silentWindow()}));
    EXPECT_TRUE(w.trace.contains("ReadCommandStatus - BAD ERROR Re-read due to error\r\n"));
    EXPECT_TRUE(w.trace.contains("ReadCommandStatus - Trying again\r\n"));
}

TEST(EmulatedExchange, LateStatusByteIsTakenByTheSecondGathering) {
    emulator::SimDeviceOptions o;
    o.silentReads = 21;  // the whole first window
    Zor1World w(o);
    w.reply({0x00});
    const auto r = w.exchange(false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, (Bytes{'S', '0', '0', 0x00, 0x00}));
    EXPECT_EQ(w.written(), testing::kHwStatusRequest);
    EXPECT_EQ(w.clock.pauses(), concat({silentWindow(), {500, 100, 100}}));
}

TEST(EmulatedExchange, RequestWriteFailureLeavesTheLength) {
    emulator::SimDeviceOptions o;
    o.writeFails = true;
    Zor1World w(o);
    w.reply({0x00});
    const auto r = w.exchange(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, kStatusReplySize);
    EXPECT_TRUE(w.clock.pauses().empty());
}

TEST(EmulatedExchange, GoesThroughGetPrinterStatusDataOnlyForZor1) {
    Zor1World w;
    w.printer.isZor1Family = false;
    w.reply({0x00});
    const auto r = w.exchange(false);
    // plain exchange: the byte is the reply itself, no request written
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, Bytes{0x00});
    EXPECT_TRUE(w.written().empty());
}

// ---------------------------------------------------------------- firmware version request

struct VersionCase {
    const char* name;
    std::vector<Bytes> bursts;
    bool ok;
    std::string reply;
    std::vector<uint32_t> pauses;
    const char* line;  // a trace line that must be there (or null)
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }

class FirmwareVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FirmwareVersion, GathersSkipsAndFormats) {
    const VersionCase& c = GetParam();
    Zor1World w;
    w.printer.lastStatusLength = 0;
    for (const Bytes& b : c.bursts) w.reply(b);
    const auto r = w.version();
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(std::string(r.reply.begin(), r.reply.end()), c.reply);
    EXPECT_EQ(r.length, c.reply.size());
    EXPECT_EQ(w.clock.pauses(), c.pauses);
    EXPECT_EQ(w.written(), testing::kVersionRequest);
    EXPECT_EQ(w.printer.lastStatusLength, 0u);  // never cached
    if (c.line) {
        EXPECT_TRUE(w.trace.contains(c.line)) << c.line;
    }
}

const char* const kTryingAgain =
    "ReadCommandStatus - Invalid Binary data found - Trying again....\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareVersion,
    ::testing::Values(
        VersionCase{"four_characters",
                    {bytes("1234")},
                    true,
                    "A0505V1234",
                    {100, 100},
                    "ReadCommandStatus - VALID FIRMWARE VERSION (Length: 10) - 'A0505V1234'\r\n"},
        VersionCase{"pair_and_two_then_two",
                    {{0xAA, 0x55, '1', '2'}, bytes("34")},
                    true,
                    "A0505V1234",
                    {100, 100, 100},
                    kTryingAgain},
        // the whole reply in one burst needs no further gathering
        VersionCase{"pair_and_four_at_once",
                    {{0xAA, 0x55, '1', '2', '3', '4'}},
                    true,
                    "A0505V1234",
                    {100, 100},
                    kTryingAgain},
        VersionCase{"pair_alone_then_four",
                    {{0xAA, 0x55}, bytes("1234")},
                    true,
                    "A0505V1234",
                    {100, 100},
                    kTryingAgain},
        VersionCase{"lone_AA_is_one_byte",
                    {{0xAA, '1', '2', '3'}, bytes("4")},
                    true,
                    "A0505V1234",
                    {100, 100, 100},
                    kTryingAgain},
        VersionCase{"pair_then_silence",
                    {{0xAA, 0x55}},
                    false,
                    "",
                    concat({silentWindow(), silentWindow()}),
                    kTryingAgain},
        VersionCase{"binary_after_the_follow_up",
                    {{0x01, 0x02, 0x03, 0x04}, {0x05, '1', '2', '3'}},
                    false,
                    "",
                    {100, 100},
                    "ReadCommandStatus - Invalid Binary data found - Giving UP....\r\n"},
        VersionCase{"three_characters",
                    {bytes("123")},
                    false,
                    "",
                    concat({silentWindow(), {100}}),
                    "ReadCommandStatus - INVALID FIRMWARE VERSION LENGTH - characters to read = "
                    "4, actually read = 3\r\n"},
        VersionCase{"five_characters_at_once",
                    {bytes("12345")},
                    false,
                    "",
                    {100, 100},
                    "ReadCommandStatus - INVALID FIRMWARE VERSION LENGTH - characters to read = "
                    "4, actually read = 5\r\n"},
        VersionCase{"pair_and_five_at_once",
                    {{0xAA, 0x55, '1', '2', '3', '4', '5'}},
                    false,
                    "",
                    {100, 100},
                    nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareVersionReply, ReplyFitsTheCallersCapacity) {
    Zor1World w;
    w.reply(bytes("1234"));
    std::array<uint8_t, 8> small{};
    uint32_t length = small.size();
    EXPECT_TRUE(ReadCommandStatus(w.sys, w.port, small.data(), length, true,
                                  testing::kCommandVersion.data(), 4, w.printer));
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(small.data())), "A0505V1");
}

}  // namespace
}  // namespace kv
