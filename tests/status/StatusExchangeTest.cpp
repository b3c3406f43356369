#include <gtest/gtest.h>

#include "status/StatusExchange.h"
#include "tests/status/StatusWorld.h"

namespace kv {
namespace {

using testing::Bytes;
using testing::StatusWorld;
using testing::bytes;
using testing::concat;
using testing::silentWindow;
using testing::steps;

const Bytes kReady{'S', '0', '0', 0x00, 0x00};
const Bytes kBusy{'S', '0', '0', 0x00, 0x20};

// ---------------------------------------------------------------- table

TEST(StatusCommandTable, RowsMatchOnTheirWholeCommandOnly) {
    struct Case {
        Bytes request;
        int row;
    };
    const Case cases[] = {
        {{0x1B, 0x49, 0x53}, 0},
        {{0x1B, 0x49, 0x4E}, 1},
        {{0x1B, 0x49, 0x45}, 2},
        {{0x1B, 0x49, 0x43}, 3},
        {{0x1B, 0x49, 0x41, 0x05}, 4},
        {{0x1B, 0x49, 0x43, 0x99, 0x00}, 3},  // trailing bytes ignored
        {{0x1B, 0x49, 0x41, 0x06}, -1},
        {{0x1B, 0x49, 0x41}, -1},  // shorter than row 4's command
        {{0x1B, 0x49, 0x58}, -1},
        {{0x1B, 0x49}, -1},
        {{}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(getStatusTypeCommandArrayIndexHW(c.request.data(),
                                                   static_cast<uint32_t>(c.request.size())),
                  c.row)
            << ::testing::PrintToString(c.request);
    }
    EXPECT_EQ(getStatusTypeCommandArrayIndexHW(nullptr, 4), -1);
}

// ---------------------------------------------------------------- plain exchange

TEST(PlainExchange, BusyReplyIsReturnedWithoutWritingTheRequest) {
    StatusWorld w("LPT1:");
    w.reply(kBusy);
    const auto r = w.exchange(true, testing::kCommandC);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, kBusy);
    EXPECT_TRUE(w.written().empty());
    EXPECT_EQ(w.lastStatus(), kBusy);
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{150, 100, 100}));
    EXPECT_FALSE(
        w.trace.contains("GetPrinterStatusData - Printer Not busy "
                         "****************************************************"));
}

TEST(PlainExchange, NotBusyWritesTheRequestAndReadsTheAnswer) {
    StatusWorld w("\\\\?\\usb#vid_1234&pid_0001#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    const Bytes answer{'C', '0', '0', 0x00, 0x01, '0', '1'};
    w.reply(kReady);
    w.reply(answer);
    const auto r = w.exchange(true, testing::kCommandC);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, answer);
    EXPECT_EQ(w.written(), testing::kCommandC);
    EXPECT_EQ(w.lastStatus(), answer);
    // read + cache, write, read + cache
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{150, 100, 100, 100, 150, 100}));
    const std::vector<std::string> expected{
        "GetPrinterStatusData - Entry ****************************************************",
        "\r\n",
        "GetPrinterStatusData - Before read command to get status bytes",
        "\r\n",
        "GetPrinterStatusData - After read command to get status bytes - PASSED",
        "\r\n",
        "GetPrinterStatusData - Printer Not busy "
        "****************************************************",
        "\r\n",
        "GetPrinterStatusData - Good return from writing request "
        "****************************************************",
        "\r\n",
        "GetPrinterStatusData - Good return from reading after request "
        "****************************************************",
        "\r\n",
    };
    EXPECT_EQ(w.trace.lines(), expected);
}

// A status the printer sent on its own may come between the request and its
// answer on USB (usblp fetches ahead); the answer is the reply of the kind
// asked for. On a parallel port nothing is read ahead.
TEST(PlainExchange, UnaskedStatusBeforeTheAnswerIsPassedOver) {
    const Bytes answer{'C', '0', '0', 0x00, 0x01, '0', '1'};
    struct Case {
        const char* port;
        std::vector<Bytes> after;  // what comes after the request
        Bytes expected;
    };
    const Case cases[] = {
        {"\\\\?\\usb#vid_1234&pid_0001#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
         {kReady, answer},
         answer},
        // Nothing behind it: the status stays the answer, as before.
        {"\\\\?\\usb#vid_1234&pid_0001#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", {kReady}, kReady},
        {"LPT1:", {kReady, answer}, kReady},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        StatusWorld w(c.port);
        if (std::string_view(c.port) == "LPT1:") w.printer.portType = PORT_TYPE_PARALLEL;
        w.reply(kReady);
        for (const Bytes& b : c.after) w.reply(b);
        const auto r = w.exchange(true, testing::kCommandC);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.reply, c.expected);
    }
}

TEST(PlainExchange, WithoutSendFlagOnlyThePendingReplyIsRead) {
    StatusWorld w("LPT2:");
    w.reply(kReady);
    const auto r = w.exchange(false, testing::kCommandC);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.reply, kReady);
    EXPECT_TRUE(w.written().empty());
    EXPECT_EQ(w.io.readCalls(w.path), 1u);
}

TEST(PlainExchange, ParallelPortReplaysTheCachedReplyWhenNothingComes) {
    StatusWorld w("LPT1:");
    w.printer.portType = PORT_TYPE_PARALLEL;
    w.reply(kReady);
    ASSERT_TRUE(w.exchange(false).ok);
    w.clock.clearPauses();

    const auto r = w.exchange(false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.length, 5u);
    EXPECT_EQ(r.reply, kReady);
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100}));
}

TEST(PlainExchange, ParallelPortWithNothingCachedSucceedsEmpty) {
    StatusWorld w("LPT1:");
    w.printer.portType = PORT_TYPE_PARALLEL;
    const auto r = w.exchange(false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.length, 0u);
}

TEST(PlainExchange, UsbWithNothingPendingFailsWithoutWriting) {
    StatusWorld w("\\\\?\\usb#vid_1234&pid_0001#x#{guid}");
    w.printer.portType = PORT_TYPE_USB;
    w.printer.lastStatusLength = 5;  // a cache is never replayed off a parallel port
    const auto r = w.exchange(true, testing::kCommandC);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_TRUE(w.written().empty());
    EXPECT_TRUE(
        w.trace.contains("GetPrinterStatusData - After read command to get status bytes - FAILED"));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100, 100}));
}

TEST(PlainExchange, RepliesWithoutKindLetterAreReturnedButNotCached) {
    StatusWorld w("LPT1:");
    w.printer.lastStatusLength = 0;
    w.reply({'X', '0', '0', 0x00, 0x00});
    const auto r = w.exchange(false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.length, 5u);
    EXPECT_EQ(w.printer.lastStatusLength, 0u);
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100}));  // no 150 ms caching pause
}

struct FailCase {
    const char* name;
    emulator::SimDeviceOptions options;
    bool answerQueued;
    uint32_t length;  // expected length after the failure
    size_t bytesWritten;
};

class PlainExchangeFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(PlainExchangeFailure, ReportsFalseWithTheExpectedLength) {
    const FailCase& c = GetParam();
    StatusWorld w("\\\\?\\usb#vid_1234&pid_0001#x#{guid}", nullptr, c.options);
    w.reply(kReady);
    if (c.answerQueued) w.reply(kReady);
    const auto r = w.exchange(true, testing::kCommandC);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, c.length);
    EXPECT_EQ(w.written().size(), c.bytesWritten);
}

emulator::SimDeviceOptions writeFails() {
    emulator::SimDeviceOptions o;
    o.writeFails = true;
    return o;
}
emulator::SimDeviceOptions shortWrite() {
    emulator::SimDeviceOptions o;
    o.writeLimit = 2;
    return o;
}
emulator::SimDeviceOptions readFails() {
    emulator::SimDeviceOptions o;
    o.readFails = true;
    return o;
}

INSTANTIATE_TEST_SUITE_P(Cases, PlainExchangeFailure,
                         ::testing::Values(
                             // the pending reply's length stays
                             FailCase{"write_fails", writeFails(), true, 5, 0},
                             // a request taken in part is not a request sent
                             FailCase{"short_write", shortWrite(), true, 5, 2},
                             FailCase{"read_fails", readFails(), true, 0, 0},
                             FailCase{"nothing_after_request", {}, false, 0, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- PJLMonReadPort

TEST(PJLMonReadPort, SilentPortGivesUpAfterTheWindowInHundredMsSteps) {
    StatusWorld w("\\\\?\\usb#vid_1234&pid_0001#x#{guid}");
    std::array<uint8_t, 16> buffer{};
    uint32_t length = buffer.size();
    const uint64_t start = w.clock.tickMs();
    EXPECT_FALSE(PJLMonReadPort(w.sys, w.port, buffer.data(), length, 1));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(w.clock.pauses(), silentWindow());
    EXPECT_EQ(w.clock.tickMs() - start, 2100u);
    EXPECT_EQ(w.io.readCalls(w.path), 21u);
}

TEST(PJLMonReadPort, StopsAsSoonAsTheAwaitedCountIsReached) {
    emulator::SimDeviceOptions o;
    o.readBurst = 3;
    StatusWorld w("LPT1:", nullptr, o);
    w.reply(bytes("ABCDEFGH"));
    std::array<uint8_t, 16> buffer{};
    uint32_t length = buffer.size();
    EXPECT_TRUE(PJLMonReadPort(w.sys, w.port, buffer.data(), length, 4));
    EXPECT_EQ(length, 6u);  // two bursts of 3
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), bytes("ABCDEF"));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100}));
}

TEST(PJLMonReadPort, WithoutACountGathersUntilTheWindowCloses) {
    StatusWorld w("LPT1:");
    w.reply(bytes("AB"));
    w.reply(bytes("C"));
    std::array<uint8_t, 16> buffer{};
    uint32_t length = buffer.size();
    EXPECT_TRUE(PJLMonReadPort(w.sys, w.port, buffer.data(), length, 0));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(w.clock.pauses(), silentWindow());
}

TEST(PJLMonReadPort, StopsWhenTheCapacityIsFull) {
    StatusWorld w("LPT1:");
    w.reply(bytes("ABCDEFGH"));
    std::array<uint8_t, 4> buffer{};
    uint32_t length = buffer.size();
    EXPECT_TRUE(PJLMonReadPort(w.sys, w.port, buffer.data(), length, 0));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100}));
}

TEST(PJLMonReadPort, FailingReadsCountAsEmpty) {
    StatusWorld w("LPT1:", nullptr, readFails());
    std::array<uint8_t, 4> buffer{};
    uint32_t length = buffer.size();
    EXPECT_FALSE(PJLMonReadPort(w.sys, w.port, buffer.data(), length, 1));
    EXPECT_EQ(w.clock.pauses(), silentWindow());
}

// ---------------------------------------------------------------- isPrinterReady

TEST(IsPrinterReady, Byte4BitsOtherThanLowPaperAndTwoWarningsMakeItUnready) {
    struct Case {
        uint8_t byte3;
        uint8_t byte4;
        bool ready;
    };
    const Case cases[] = {
        {0x00, 0x00, true},  {0x00, 0x01, true},  {0x00, 0x02, true},  {0x00, 0x08, true},
        {0x00, 0x0B, true},  {0x00, 0x04, false}, {0x00, 0x10, false}, {0x00, 0x20, false},
        {0x00, 0x40, false}, {0x00, 0x80, false}, {0x01, 0x00, false}, {0x80, 0x0B, false},
    };
    for (const Case& c : cases) {
        StatusWorld w("LPT1:");
        w.reply({'S', '0', '0', c.byte3, c.byte4});
        EXPECT_EQ(isPrinterReady(w.sys, w.port, w.printer), c.ready)
            << std::hex << int(c.byte3) << " " << int(c.byte4);
        EXPECT_EQ(w.clock.pauses().back(), 150u);
    }
}

TEST(IsPrinterReady, NothingReadCountsAsReady) {
    StatusWorld w("\\\\?\\usb#vid_1234&pid_0001#x#{guid}");
    EXPECT_TRUE(isPrinterReady(w.sys, w.port, w.printer));
    EXPECT_EQ(w.clock.pauses(), (std::vector<uint32_t>{100, 100, 150}));
}

}  // namespace
}  // namespace kv
