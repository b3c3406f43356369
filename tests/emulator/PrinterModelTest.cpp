#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/PrinterModel.h"

namespace kv::emulator {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

PrinterConfig localConfig(LinkKind link = LinkKind::Usb) {
    PrinterConfig c;
    c.link = link;
    return c;
}

// Reads everything pending, one read per piece.
std::vector<Bytes> drain(PrinterModel& model, size_t capacity = 1024, size_t limit = 20) {
    std::vector<Bytes> pieces;
    while (pieces.size() < limit) {
        Bytes piece = model.read(capacity);
        if (piece.empty()) break;
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

TEST(PrinterModelTcp, AnswersIdAndStatusRequests) {
    PrinterConfig c;
    c.statusByte3 = 0x12;
    c.statusByte4 = 0x34;
    PrinterModel model(c);
    EXPECT_FALSE(model.hasPending()) << "a TCP printer speaks only when asked";

    EXPECT_EQ(model.write("<SA08>"), 6u);
    EXPECT_EQ(model.read(1024), bytes(c.deviceId));
    EXPECT_EQ(model.write("<SS>"), 4u);
    EXPECT_EQ(model.read(1024), (Bytes{'S', '0', '0', 0x12, 0x34}));
    EXPECT_TRUE(model.read(1024).empty());
    EXPECT_EQ(model.received(), bytes("<SA08><SS>"));
    ASSERT_EQ(model.requestLog().size(), 2u);
    EXPECT_EQ(model.requestLog()[1], "\"<SS>\" -> S00\\x124 (5 bytes: 53 30 30 12 34)");
}

TEST(PrinterModelTcp, RequestInPiecesAndNoiseAround) {
    PrinterModel model;
    model.write("xy<SA");
    EXPECT_FALSE(model.hasPending());
    model.write("08>z<SS");
    EXPECT_EQ(model.read(1024), bytes(PrinterConfig{}.deviceId));
    model.write(">");
    EXPECT_EQ(model.read(1024).size(), 5u);
    const auto log = model.requestLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "unrecognised 2 bytes: xy");
    EXPECT_EQ(log[2], "unrecognised 1 bytes: z");
}

TEST(PrinterModelTcp, ReplySplitAndCapacityCutPieces) {
    PrinterConfig c;
    c.deviceId = "MDL:ABCDEFGHIJ;";  // 15 bytes
    c.replySplit = 6;
    PrinterModel model(c);
    model.write("<SA08>");
    EXPECT_EQ(drain(model), (std::vector<Bytes>{bytes("MDL:AB"), bytes("CDEFGH"), bytes("IJ;")}));

    model.write("<SA08>");
    EXPECT_EQ(model.read(4), bytes("MDL:"));
    EXPECT_EQ(model.read(100), bytes("AB")) << "the rest of a piece, never more";
}

TEST(PrinterModelTcp, SilentPrinterLogsButNeverAnswers) {
    PrinterConfig c;
    c.silent = true;
    PrinterModel model(c);
    EXPECT_EQ(model.write("<SA08><SS>"), 10u);
    EXPECT_FALSE(model.hasPending());
    EXPECT_TRUE(model.read(1024).empty());
    EXPECT_EQ(model.requestLog(),
              (std::vector<std::string>{"\"<SA08>\" -> (silent)", "\"<SS>\" -> (silent)"}));
}

TEST(PrinterModelTcp, StatusOverrideAndDroppedLink) {
    PrinterConfig c;
    c.statusReplyOverride = Bytes{'S', '0', '0'};
    c.dropAfterBytes = 10;
    PrinterModel model(c);
    model.write("<SS>");
    EXPECT_EQ(model.read(1024), (Bytes{'S', '0', '0'}));
    EXPECT_FALSE(model.linkDropped());
    EXPECT_EQ(model.write("<SA08>xyz"), 6u) << "takes bytes up to the limit only";
    EXPECT_TRUE(model.linkDropped());
    EXPECT_FALSE(model.hasPending()) << "no reply goes out on a dropped link";
    EXPECT_EQ(model.write("<SS>"), 0u);

    model.linkReset();
    EXPECT_FALSE(model.linkDropped());
    EXPECT_EQ(model.write("<SS>"), 4u);
    EXPECT_TRUE(model.hasPending());
}

// The reply layouts byte for byte, with the firmware text "V5.12" of the
// default device ID.
struct LayoutCase {
    const char* request;
    std::string expected;
};

TEST(PrinterModelLocal, ReplyLayouts) {
    using namespace std::string_literals;
    const std::vector<LayoutCase> cases = {
        {"\x1BIS", "S00\x00\x21"s},
        {"\x1BIN",
         "N00\x00\x21"
         "01\x00\x00\x00"s},
        {"\x1BIE",
         "E00\x00\x21"
         "01\x00\x00\x00"
         "0505V5.12"s},
        {"\x1BIC",
         "C00\x00\x21"
         "01\x00\x00\x00"
         "0200000000"
         "0300C"
         "04\x00\x00"
         "0505V5.12"s},
        {"\x1BIA\x05", "A0505V5.12"s},
    };
    for (const LayoutCase& lc : cases) {
        SCOPED_TRACE(lc.expected.substr(0, 1));
        PrinterConfig c = localConfig();
        c.statusByte4 = 0x21;  // busy + low paper
        c.statusStaysPending = false;
        PrinterModel model(c);
        drain(model);  // the power-up status
        model.write(lc.request);
        EXPECT_EQ(drain(model), std::vector<Bytes>{bytes(lc.expected)});
    }
}

TEST(PrinterModelLocal, FirmwareTextOffsetsAndLengths) {
    PrinterConfig c = localConfig(LinkKind::Parallel);
    c.firmwareText = "V1.2345";
    c.statusAtPowerUp = false;
    c.statusStaysPending = false;
    PrinterModel model(c);
    model.write("\x1BIE");
    Bytes e = model.read(1024);
    model.write("\x1BIC");
    Bytes c33 = model.read(1024);
    ASSERT_EQ(e.size(), 14u + 7);
    ASSERT_EQ(c33.size(), 33u + 7);
    EXPECT_EQ(std::string(e.begin() + 14, e.end()), "V1.2345");
    EXPECT_EQ(std::string(c33.begin() + 33, c33.end()), "V1.2345");
    EXPECT_EQ(std::string(c33.begin() + 31, c33.begin() + 33), "07");
    EXPECT_EQ(std::string(c33.begin() + 20, c33.begin() + 25), "0300C");

    c.firmwareText.clear();
    c.deviceId = "MDL:X;FWV:V9.87(abc);";
    model.setConfig(c);
    EXPECT_EQ(model.firmwareText(), "V9.87(abc)");
    c.deviceId = "MDL:X;";
    model.setConfig(c);
    model.write("\x1BIE");
    EXPECT_EQ(model.read(1024).size(), 14u) << "no version known: field 05 is 0500";
}

TEST(PrinterModelLocal, PendingStatusAfterPowerUpAndAfterEachRequest) {
    PrinterConfig c = localConfig();
    c.statusByte4 = 0x01;
    PrinterModel model(c);
    const Bytes s{'S', '0', '0', 0x00, 0x01};
    EXPECT_TRUE(model.hasPending());
    EXPECT_EQ(model.read(1024), s);
    EXPECT_EQ(model.read(1024), s) << "the current status stays readable";

    model.write("\x1BIC");
    EXPECT_EQ(model.read(1024).at(0), 'C') << "a request's reply comes before the idle status";
    EXPECT_EQ(model.read(1024), s);

    c.statusByte4 = 0x20;  // busy from now on
    model.setConfig(c);
    EXPECT_EQ(model.read(1024).at(4), 0x20);

    c.statusStaysPending = false;
    model.setConfig(c);
    EXPECT_FALSE(model.hasPending());
    model.powerCycle();
    EXPECT_EQ(drain(model).size(), 1u) << "one status after power-up, then nothing";
    model.write("\x1BIN");
    EXPECT_EQ(drain(model).size(), 1u);
    EXPECT_FALSE(model.hasPending());

    c.statusAtPowerUp = false;
    model.setConfig(c);
    model.powerCycle();
    EXPECT_FALSE(model.hasPending());
}

TEST(PrinterModelLocal, SplitStatusAndUnknownCommands) {
    PrinterConfig c = localConfig();
    c.replySplit = 2;
    c.statusStaysPending = false;
    c.statusAtPowerUp = false;
    PrinterModel model(c);
    model.write("\x1BIX");  // no such status command
    EXPECT_FALSE(model.hasPending());
    model.write("\x1BIS");
    EXPECT_EQ(drain(model), (std::vector<Bytes>{{'S', '0'}, {'0', 0x00}, {0x00}}));
    EXPECT_EQ(model.requestLog().at(0), "unrecognised 3 bytes: \\x1BIX");
}

TEST(PrinterModelLocal, DeviceIdQuery) {
    PrinterConfig c = localConfig();
    PrinterModel model(c);
    EXPECT_EQ(model.queryDeviceId(), c.deviceId);
    c.deviceIdQueryFails = true;
    model.setConfig(c);
    EXPECT_EQ(model.queryDeviceId(), std::nullopt);
}

PrinterConfig zor1Config() {
    PrinterConfig c = localConfig();
    c.zor1Family = true;
    c.deviceId = "MFG:KV;MDL:ZOR12;FWV:V1.05(GAP);";
    c.firmwareText = "V1.05";
    return c;
}

TEST(PrinterModelZor1, AnswersBinaryStatusWithOneByteOnly) {
    PrinterConfig c = zor1Config();
    c.hwStatusByte = 0x18;
    PrinterModel model(c);
    EXPECT_FALSE(model.hasPending()) << "no status format, so nothing pending";
    model.write("\x1BIS");
    model.write("\x1BIC");
    EXPECT_FALSE(model.hasPending()) << "does not speak ESC I x";
    model.write(Bytes{0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}.data(), 6);
    EXPECT_EQ(drain(model), std::vector<Bytes>{{0x18}});

    c.statusReplyOverride = Bytes{0x00, 0x00};  // two status bytes at once
    model.setConfig(c);
    model.write(Bytes{0x10, 0xAA, 0x55, 0x80, 0x54, 0xAB}.data(), 6);
    EXPECT_EQ(drain(model), (std::vector<Bytes>{{0x00, 0x00}}));
}

TEST(PrinterModelZor1, VersionReplyInBursts) {
    struct Case {
        bool prefix;
        std::vector<size_t> bursts;
        std::vector<Bytes> expected;
    };
    const std::vector<Case> cases = {
        {false, {}, {bytes("1.05")}},
        {true, {}, {{0xAA, 0x55, '1', '.', '0', '5'}}},
        {true, {4, 2}, {{0xAA, 0x55, '1', '.'}, bytes("05")}},
        {true, {6}, {{0xAA, 0x55, '1', '.', '0', '5'}}},
        {true, {1, 1, 1}, {{0xAA}, {0x55}, bytes("1.05")}},
    };
    for (const Case& tc : cases) {
        PrinterConfig c = zor1Config();
        c.versionPrefixAA55 = tc.prefix;
        c.versionBursts = tc.bursts;
        PrinterModel model(c);
        model.write("\x1DIA");
        EXPECT_EQ(drain(model), tc.expected);
    }

    PrinterConfig c = zor1Config();
    c.versionChars = "ABCD";
    PrinterModel model(c);
    model.write("\x1DIA");
    EXPECT_EQ(model.read(1024), bytes("ABCD"));
}

}  // namespace
}  // namespace kv::emulator
