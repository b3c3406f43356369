#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "flash/FlashHistory.h"

namespace kv {
namespace {

FlashRecord sampleRecord(const std::string& id) {
    FlashRecord r;
    r.id = id;
    r.startMs = 1714557600000;    // 2024-05-01T10:00:00Z
    r.endMs = r.startMs + 45000;  // the file keeps whole seconds
    r.durationMs = 45250;
    r.program = "kvflash 4.0.2.2";
    r.link = "USB";
    r.address = "\\\\?\\usb#vid_4b56&pid_0001#5a4f573330303446#{a5dcbf10}";
    r.model = "ZOW3004F";
    r.logicBoard = "MVQ Plus";
    r.serial = "5a4f573330303446";
    r.firmwareBefore = "V5.12";
    r.firmwareAfter = "V5.20";
    r.imagePath = "/fw/FMVQ_V5.20.bin";
    r.imageSize = 65536;
    r.imageSha256 = std::string(64, 'a');
    r.imageVersion = "V5.20";
    r.bytesSent = 65536;
    r.outcome = platform::VerifyOutcome::Verified;
    r.detail = "the printer reports V5.20, the image's version (before: V5.12)";
    r.boxes = {"USB printer, please power cycle printer\r\n\"now\""};
    return r;
}

// Field by field, as the history names them.
void expectSame(const FlashRecord& a, const FlashRecord& b) {
    for (const FlashField& field : kFlashFields) {
        std::visit([&](auto member) { EXPECT_EQ(a.*member, b.*member) << field.key; },
                   field.member);
    }
}

TEST(FlashHistory, UtcTimesBothWays) {
    const struct {
        int64_t ms;
        const char* text;
        int64_t back;  // whole seconds
    } cases[] = {
        {0, "1970-01-01T00:00:00Z", 0},
        {1714557600999, "2024-05-01T10:00:00Z", 1714557600000},
        {951782400000, "2000-02-29T00:00:00Z", 951782400000},
        {4102444799000, "2099-12-31T23:59:59Z", 4102444799000},
        {-1, "1969-12-31T23:59:59Z", -1000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isoUtc(c.ms), c.text);
        EXPECT_EQ(parseIsoUtc(c.text), c.back) << c.text;
    }
    for (const char* bad : {"2024-05-01 10:00:00Z", "2024-13-01T10:00:00Z", "2024-05-01T10:00:00",
                            "2024-05-01T1a:00:00Z", "2023-02-29T10:00:00Z", "2024-04-31T10:00:00Z",
                            "2024-05-01T24:00:00Z", ""}) {
        EXPECT_FALSE(parseIsoUtc(bad).has_value()) << bad;
    }
}

TEST(FlashHistory, StartedThenEndedIsOneRecordAndAStartedOneIsInterrupted) {
    const FlashRecord done = sampleRecord("a1");
    FlashRecord cut = sampleRecord("b2");
    cut.startMs += 3600000;
    const std::string text =
        startedLine(done) + "\n" + startedLine(cut) + "\n" + endedLine(done) + "\n";
    const HistoryContent h = parseHistory(text);
    EXPECT_TRUE(h.damaged.empty());
    ASSERT_EQ(h.entries.size(), 2u);
    // In the order the flashes began.
    EXPECT_EQ(h.entries[0].record.id, "a1");
    EXPECT_TRUE(h.entries[0].ended);
    expectSame(h.entries[0].record, done);
    EXPECT_EQ(h.entries[1].record.id, "b2");
    EXPECT_FALSE(h.entries[1].ended);
    EXPECT_EQ(h.entries[1].record.outcome, std::nullopt);
    EXPECT_EQ(h.entries[1].record.firmwareBefore, "V5.12");
    EXPECT_EQ(h.lines.size(), 3u);
}

TEST(FlashHistory, LinesKeepTheirFormatOnDisk) {
    // Files written by earlier versions hold exactly these lines.
    const std::string sha(64, 'a');
    const std::string started =
        R"j({"event":"started","id":"a1","start":"2024-05-01T10:00:00Z",)j"
        R"j("program":"kvflash 4.0.2.2",)j"
        R"j("link":"USB","address":"\\\\?\\usb#vid_4b56&pid_0001#5a4f573330303446#{a5dcbf10}",)j"
        R"j("model":"ZOW3004F","logic_board":"MVQ Plus","serial":"5a4f573330303446",)j"
        R"j("firmware_before":"V5.12","image_path":"/fw/FMVQ_V5.20.bin","image_size":65536,)j"
        R"j("image_sha256":")j" +
        sha + R"j(","image_version":"V5.20"})j";
    const std::string ended =
        R"j({"event":"ended","id":"a1","start":"2024-05-01T10:00:00Z",)j"
        R"j("end":"2024-05-01T10:00:45Z",)j"
        R"j("duration_ms":45250,"program":"kvflash 4.0.2.2","link":"USB",)j"
        R"j("address":"\\\\?\\usb#vid_4b56&pid_0001#5a4f573330303446#{a5dcbf10}",)j"
        R"j("model":"ZOW3004F","logic_board":"MVQ Plus","serial":"5a4f573330303446",)j"
        R"j("firmware_before":"V5.12","image_path":"/fw/FMVQ_V5.20.bin","image_size":65536,)j"
        R"j("image_sha256":")j" +
        sha +
        R"j(","image_version":"V5.20","firmware_after":"V5.20",)j"
        R"j("bytes_sent":65536,"outcome":"verified",)j"
        R"j("detail":"the printer reports V5.20, the image's version (before: V5.12)",)j"
        R"j("boxes":["USB printer, please power cycle printer\r\n\"now\""]})j";
    const FlashRecord record = sampleRecord("a1");
    EXPECT_EQ(startedLine(record), started);
    EXPECT_EQ(endedLine(record), ended);
    const HistoryContent h = parseHistory(started + "\n" + ended + "\n");
    EXPECT_TRUE(h.damaged.empty());
    ASSERT_EQ(h.entries.size(), 1u);
    expectSame(h.entries[0].record, record);
}

TEST(FlashHistory, DamagedLinesAreNamedBySkippingThem) {
    const FlashRecord good = sampleRecord("c3");
    const std::vector<std::string> lines = {
        endedLine(good),
        "{\"event\":\"ended\",\"id\":\"d4\",\"start\":\"2024-05-01T1",  // cut off by a crash
        "not json at all",
        "[1,2,3]",
        "{\"event\":\"ended\",\"id\":\"e5\",\"bytes_sent\":\"many\"}",
        "{\"event\":\"begun\",\"id\":\"f6\"}",
        "{\"event\":\"ended\"}",
        "{\"event\":\"ended\",\"id\":\"g7\",\"start\":\"yesterday\"}",
        "{\"event\":\"ended\",\"id\":\"h8\",\"boxes\":[1]}",
        "{\"event\":\"ended\",\"id\":\"h9\",\"outcome\":\"great\"}",
        "",
        endedLine(sampleRecord("i9")),
    };
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    const HistoryContent h = parseHistory(text);
    ASSERT_EQ(h.entries.size(), 2u);
    EXPECT_EQ(h.entries[0].record.id, "c3");
    EXPECT_EQ(h.entries[1].record.id, "i9");
    std::vector<size_t> numbers;
    for (const DamagedLine& d : h.damaged) {
        numbers.push_back(d.line);
        EXPECT_FALSE(d.reason.empty());
    }
    // The blank line is no record and no damage.
    EXPECT_EQ(numbers, (std::vector<size_t>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(FlashHistory, BytesFromPrintersNeverBreakALine) {
    FlashRecord r = sampleRecord("j0");
    r.model = std::string("ZOW\xff\xfe\n\"x", 8);
    r.boxes = {std::string("bad \xc3", 5)};
    const std::string line = endedLine(r);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const HistoryContent h = parseHistory(line + "\n");
    ASSERT_EQ(h.entries.size(), 1u);
    EXPECT_TRUE(h.damaged.empty());
    EXPECT_EQ(h.entries[0].record.model.substr(0, 3), "ZOW");
    EXPECT_NE(h.entries[0].record.model.find("\n\"x"), std::string::npos);
}

}  // namespace
}  // namespace kv
