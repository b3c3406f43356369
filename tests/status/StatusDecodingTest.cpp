#include <gtest/gtest.h>

#include "status/StatusDecoding.h"
#include "status/StatusExchange.h"
#include "tests/status/StatusWorld.h"

namespace kv {
namespace {

using testing::Bytes;
using testing::bytes;
using testing::concat;
using testing::join;
using testing::silentWindow;

struct DecodeWorld : testing::StatusWorld {
    PrinterStatus status;
    explicit DecodeWorld(std::string deviceId = "MFG:KV;MDL:ZOR1;FWV:V1234(B);")
        : StatusWorld("LPT1:") {
        printer.isZor1Family = true;
        printer.deviceId = std::move(deviceId);
        status.port = port;
        status.printer = &printer;
    }
    static Bytes text(const std::array<uint8_t, kStatusStringSize>& s, uint32_t length) {
        return Bytes(s.begin(), s.begin() + length);
    }
    Bytes s() const { return text(status.sString, status.sLength); }
    Bytes n() const { return text(status.nString, status.nLength); }
    Bytes e() const { return text(status.eString, status.eLength); }
    Bytes c() const { return text(status.cString, status.cLength); }
    std::string firmware() const { return std::string(status.firmwareText.data()); }
};

Bytes operator+(Bytes a, const std::string& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---------------------------------------------------------------- HW byte

struct HwCase {
    uint8_t hw;
    uint8_t byte4;
    const char* hwLine;  // null: no line
    const char* bitwiseLine;
};

class HwStatusByte : public ::testing::TestWithParam<HwCase> {};

TEST_P(HwStatusByte, MapsOntoByte4AndTraces) {
    const HwCase& c = GetParam();
    DecodeWorld w;
    EXPECT_TRUE(ProcessHWStatusString(w.sys, w.status, &c.hw, 1));
    EXPECT_EQ(w.s(), (Bytes{'S', '0', '0', 0x00, c.byte4}));
    const std::string prefix = "ProcessHWStatusString - Status String";
    size_t hwLines = 0;
    for (const auto& l : w.trace.lines()) hwLines += l.rfind(prefix, 0) == 0;
    if (c.hwLine) {
        EXPECT_EQ(hwLines, 1u);
        EXPECT_TRUE(w.trace.contains(c.hwLine)) << c.hwLine;
    } else {
        EXPECT_EQ(hwLines, 0u);
    }
    EXPECT_TRUE(w.trace.contains(c.bitwiseLine)) << c.bitwiseLine;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HwStatusByte,
    ::testing::Values(
        HwCase{0x00, 0x00, nullptr, "ProcessKVStatusString - Bitwise status = 0x0 "},
        HwCase{0x01, 0x00, nullptr, "ProcessKVStatusString - Bitwise status = 0x0 "},
        HwCase{0x80, 0x00, nullptr, "ProcessKVStatusString - Bitwise status = 0x0 "},
        HwCase{0x08, 0x01, "ProcessHWStatusString - Status String - Low Paper",
               "ProcessKVStatusString - Bitwise status = 0x1 OUT_OF_PAPER LOW_PAPER "},
        HwCase{0x10, 0xA0, "ProcessHWStatusString - Status String - Busy",
               "ProcessKVStatusString - Bitwise status = 0xa0 SYSTEM_NOT_READY MANUAL_DESELECT "
               "DOC_IN_PROGRESS BUSY "},
        HwCase{0x18, 0xA1, "ProcessHWStatusString - Status String - Low Paper - Busy",
               "ProcessKVStatusString - Bitwise status = 0xa1 SYSTEM_NOT_READY MANUAL_DESELECT "
               "OUT_OF_PAPER DOC_IN_PROGRESS BUSY LOW_PAPER "},
        HwCase{0x11, 0xA0, "ProcessHWStatusString - Status String - Out Of Paper - Busy",
               "ProcessKVStatusString - Bitwise status = 0xa0 SYSTEM_NOT_READY MANUAL_DESELECT "
               "DOC_IN_PROGRESS BUSY "},
        HwCase{0xFF, 0xA1,
               "ProcessHWStatusString - Status String - Out Of Paper - Head Lever Up - Paper "
               "Jam - Low Paper - Busy - Cutter Jam - Ticket Not Taken",
               "ProcessKVStatusString - Bitwise status = 0xa1 SYSTEM_NOT_READY MANUAL_DESELECT "
               "OUT_OF_PAPER DOC_IN_PROGRESS BUSY LOW_PAPER "}));

TEST(HwStatusByteInput, OnlyExactlyOneByteIsAccepted) {
    DecodeWorld w;
    const uint8_t two[2] = {0x10, 0x10};
    EXPECT_FALSE(ProcessHWStatusString(w.sys, w.status, two, 2));
    EXPECT_FALSE(ProcessHWStatusString(w.sys, w.status, nullptr, 1));
    EXPECT_EQ(w.status.sLength + w.status.nLength + w.status.eLength + w.status.cLength, 0u);
    EXPECT_EQ(w.trace.count("ProcessHWStatusString - return because not valid status byte\r\n"),
              2u);
}

TEST(BitwiseStatus, EveryNameInItsOrder) {
    DecodeWorld w;
    const Bytes reply{'S', '0', '0', 0x00, 0xFF};
    EXPECT_TRUE(ProcessKVStatusString(w.sys, w.status, reply.data(), 5));
    EXPECT_TRUE(w.trace.contains(
        "ProcessKVStatusString - Bitwise status = 0xff DATA_ERROR DISPOSE_TOGGLE "
        "SYSTEM_NOT_READY SYSTEM_DIAG_ERROR MANUAL_DESELECT OUTPUT_JAM PAPER_REG_ERROR "
        "CUTTER_JAM HEAD_LEVER_UP OUT_OF_PAPER DOC_IN_PROGRESS BUSY PH_TEMP_WAIT "
        "TICKET_NOT_TAKEN AVG_POWER_WAIT LOW_PAPER "));
    // byte 3 is shown but named by nothing
    DecodeWorld w3;
    const Bytes high{'N', '0', '0', 0x81, 0x00};
    EXPECT_TRUE(ProcessKVStatusString(w3.sys, w3.status, high.data(), 5));
    EXPECT_TRUE(w3.trace.contains("ProcessKVStatusString - Status = 8100\r\n"));
    EXPECT_TRUE(w3.trace.contains("ProcessKVStatusString - Bitwise status = 0x8100 "));
}

// The kind letter is judged before the length: its line is the one written.
TEST(KvStatusString, RejectsRepliesWithoutKindLetterOrLength) {
    struct Case {
        Bytes reply;
        uint32_t length;
        const char* line;
    };
    const char* noKind = "ProcessKVStatusString - return because not S,N,E,C\r\n";
    const char* noLength = "ProcessKVStatusString - return because length = 0\r\n";
    const Case cases[] = {
        {{'X', '0', '0', 0x00, 0x00}, 5, noKind},
        {{'X', '0', '0', 0x00, 0x00}, 0, noKind},
        {{'S', '0', '0', 0x00, 0x00}, 0, noLength},
    };
    for (const Case& c : cases) {
        DecodeWorld w;
        SCOPED_TRACE(c.line);
        EXPECT_FALSE(ProcessKVStatusString(w.sys, w.status, c.reply.data(), c.length));
        const auto lines = w.trace.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.line);
        EXPECT_EQ(w.trace.count(c.line == noKind ? noLength : noKind), 0u);
        EXPECT_EQ(w.status.sLength, 0u);
    }
}

TEST(KvStatusString, ShortReplyReadsZerosPastItsEnd) {
    DecodeWorld w;
    const Bytes shortReply{'S', '0', '0'};
    EXPECT_TRUE(ProcessKVStatusString(w.sys, w.status, shortReply.data(), 3));
    EXPECT_EQ(w.s(), (Bytes{'S', '0', '0', 0x00, 0x00}));
}

// ---------------------------------------------------------------- strings and firmware text

TEST(StatusStrings, LayoutWithTheVersionFromTheDeviceId) {
    DecodeWorld w;
    const uint8_t hw = 0x08;
    ASSERT_TRUE(ProcessHWStatusString(w.sys, w.status, &hw, 1));
    const Bytes head{'0', '0', 0x00, 0x01, '0', '1', 0x00, 0x00, 0x00};
    EXPECT_EQ(w.n(), (Bytes{'N'} + std::string(head.begin(), head.end())));
    EXPECT_EQ(w.e(), (Bytes{'E'} + std::string(head.begin(), head.end()) + "0505V1234"));
    const Bytes c = Bytes{'C'} + std::string(head.begin(), head.end()) + "0200000000" + "0300C" +
                    "04" + std::string(2, '\0') + "0505V1234";
    EXPECT_EQ(w.c(), c);
    EXPECT_EQ(w.e().size(), 19u);
    EXPECT_EQ(w.c().size(), 38u);
    EXPECT_EQ(w.c().at(25), '0');
    EXPECT_EQ(w.c().at(26), '4');
    EXPECT_EQ(w.firmware(), "V1234");
    EXPECT_TRUE(w.written().empty());
    EXPECT_EQ(w.trace.count("ProcessKVStatusStringAddField - No Firmware Version. Getting from "
                            "PNP string.\r\n"),
              1u);  // worked out once, reused by C
}

struct IdCase {
    const char* name;
    std::string deviceId;
    std::string firmware;
    bool askedPrinter;
};

void PrintTo(const IdCase& c, std::ostream* os) { *os << c.name; }

class FirmwareText : public ::testing::TestWithParam<IdCase> {};

TEST_P(FirmwareText, FromTheDeviceIdOrThePrinter) {
    const IdCase& c = GetParam();
    DecodeWorld w(c.deviceId);
    w.reply(bytes("9876"));  // the printer's answer, should it be asked
    const uint8_t hw = 0x00;
    ASSERT_TRUE(ProcessHWStatusString(w.sys, w.status, &hw, 1));
    EXPECT_EQ(w.firmware(), c.firmware);
    EXPECT_EQ(w.written(), c.askedPrinter ? testing::kVersionRequest : Bytes{});
    const Bytes e = w.e();
    const Bytes cs = w.c();
    ASSERT_EQ(e.size(), 14u + c.firmware.size());
    ASSERT_EQ(cs.size(), 33u + c.firmware.size());
    EXPECT_EQ(std::string(e.begin() + 14, e.end()), c.firmware);
    EXPECT_EQ(std::string(cs.begin() + 33, cs.end()), c.firmware);
    EXPECT_EQ(e[12] - '0', int(c.firmware.size()) / 10);
    EXPECT_EQ(e[13] - '0', int(c.firmware.size()) % 10);
    EXPECT_EQ(w.trace.contains("ProcessKVStatusStringAddField - No Firmware Version. Getting "
                               "from Printer.\r\n"),
              c.askedPrinter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareText,
    ::testing::Values(IdCase{"four_chars", "MDL:ZOR1;FWV:V1234(B);", "V1234", false},
                      IdCase{"cut_to_ten", "MDL:ZOR1;FWV:V123456789ABC(B);", "V123456789", false},
                      IdCase{"exactly_ten", "MDL:ZOR1;FWV:V123456789(", "V123456789", false},
                      IdCase{"first_match_counts", "MDL:ZOR1;FWV:V11(;FWV:V22(", "V11", false},
                      IdCase{"format_text_is_literal", "MDL:ZOR1;FWV:V%s%n%d(", "V%s%n%d", false},
                      IdCase{"no_paren_after_key", "MDL:ZOR1(x);FWV:V1234;", "V9876", true},
                      IdCase{"no_key", "MDL:ZOR1;FWV:1234(;", "V9876", true},
                      IdCase{"key_without_leading_semicolon", "FWV:V1234(", "V9876", true},
                      IdCase{"empty_id", "", "V9876", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareText, EmptyIdSkipsTheDeviceIdLine) {
    DecodeWorld w("");
    w.reply(bytes("9876"));
    const uint8_t hw = 0x00;
    ASSERT_TRUE(ProcessHWStatusString(w.sys, w.status, &hw, 1));
    EXPECT_FALSE(w.trace.contains(
        "ProcessKVStatusStringAddField - No Firmware Version. Getting from PNP string.\r\n"));
}

TEST(FirmwareText, UnansweredVersionRequestLeavesTheTextEmpty) {
    DecodeWorld w("MDL:ZOR1;");
    const uint8_t hw = 0x00;
    ASSERT_TRUE(ProcessHWStatusString(w.sys, w.status, &hw, 1));
    EXPECT_EQ(w.status.firmwareTextLength, 0u);
    const Bytes head{'E', '0', '0', 0x00, 0x00, '0', '1', 0x00, 0x00, 0x00};
    EXPECT_EQ(w.e(), head + "0500");
    EXPECT_EQ(w.e().size(), 14u);
    EXPECT_EQ(w.c().size(), 33u);
    // with no text found, C asks again: two full nested exchanges
    EXPECT_EQ(w.written(), join(testing::kVersionRequest, testing::kVersionRequest));
    const auto nested = concat({silentWindow(), {500}, silentWindow()});
    EXPECT_EQ(w.clock.pauses(), concat({nested, nested}));
}

// ---------------------------------------------------------------- one field at a time

TEST(AddField, RefusesWhatItCannotWrite) {
    DecodeWorld w;
    std::array<uint8_t, 16> buffer{};
    uint32_t position = 0;
    const Bytes reply{'S', '0', '0', 0x12, 0x34};

    EXPECT_FALSE(ProcessKVStatusStringAddField(w.sys, nullptr, 0, buffer.data(), 16, &position,
                                               reply.data()));
    EXPECT_FALSE(
        ProcessKVStatusStringAddField(w.sys, &w.status, 0, nullptr, 16, &position, reply.data()));
    EXPECT_FALSE(ProcessKVStatusStringAddField(w.sys, &w.status, 0, buffer.data(), 16, nullptr,
                                               reply.data()));
    EXPECT_FALSE(ProcessKVStatusStringAddField(w.sys, &w.status, 0, buffer.data(), 0, &position,
                                               reply.data()));
    EXPECT_EQ(position, 0u);

    // unknown field: the digits stay written
    EXPECT_FALSE(ProcessKVStatusStringAddField(w.sys, &w.status, 6, buffer.data(), 16, &position,
                                               reply.data()));
    EXPECT_EQ(position, 2u);
    EXPECT_EQ(buffer[0], '0');
    EXPECT_EQ(buffer[1], '6');

    // field 00 without a reply: digits only
    position = 0;
    EXPECT_FALSE(
        ProcessKVStatusStringAddField(w.sys, &w.status, 0, buffer.data(), 16, &position, nullptr));
    EXPECT_EQ(position, 2u);

    // field 02 needs ten bytes: nothing past the buffer's end
    position = 8;
    EXPECT_FALSE(
        ProcessKVStatusStringAddField(w.sys, &w.status, 2, buffer.data(), 16, &position, nullptr));
    EXPECT_EQ(position, 10u);

    position = 0;
    EXPECT_TRUE(ProcessKVStatusStringAddField(w.sys, &w.status, 0, buffer.data(), 16, &position,
                                              reply.data()));
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{'0', '0', 0x12, 0x34}));
}

TEST(AddField, Field03IsAlwaysFiveBytes) {
    DecodeWorld w;
    std::array<uint8_t, 8> buffer{};
    uint32_t position = 1;
    EXPECT_TRUE(
        ProcessKVStatusStringAddField(w.sys, &w.status, 3, buffer.data(), 8, &position, nullptr));
    EXPECT_EQ(position, 6u);
    EXPECT_EQ(std::string(buffer.begin() + 1, buffer.begin() + 6), "0300C");
}

// ---------------------------------------------------------------- through the exchange

TEST(EmulatedReadiness, OutOfPaperIsReadyBusyIsNot) {
    struct Case {
        uint8_t hw;
        bool ready;
    };
    for (const Case c : {Case{0x00, true}, Case{0x01, true}, Case{0x08, true}, Case{0x10, false},
                         Case{0x18, false}}) {
        DecodeWorld w;
        w.reply({c.hw});
        EXPECT_EQ(isPrinterReady(w.sys, w.port, w.printer), c.ready) << int(c.hw);
        EXPECT_EQ(w.written(), testing::kHwStatusRequest);
    }
}

TEST(EmulatedReadiness, NestedVersionRequestFollowsTheStatusRequest) {
    DecodeWorld w("MDL:ZOR1;FWV:V5.12;");
    w.reply({0x00});
    w.reply({0xAA, 0x55, '5', '.', '1', '2'});
    const auto r = w.exchange(true, testing::kCommandC);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.reply.begin() + 33, r.reply.end()), "V5.12");
    EXPECT_EQ(w.written(), join(testing::kHwStatusRequest, testing::kVersionRequest));
}

}  // namespace
}  // namespace kv
