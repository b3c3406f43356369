#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/HistoryCommand.h"
#include "app/HistoryRows.h"
#include "app/HistoryTable.h"
#include "app/MainDialog.h"
#include "flash/FlashHistory.h"
#include "platform/sim/MemoryHistory.h"
#include "tests/app/HistorySample.h"
#include "tests/flash/LocalFlashWorld.h"
#include "tests/support/Files.h"

namespace kv {
namespace {

using testing::lines;
using testing::LocalFlashWorld;

FlashRecord record(const std::string& id, int64_t startMs,
                   std::optional<platform::VerifyOutcome> outcome) {
    FlashRecord r;
    r.id = id;
    r.startMs = startMs;
    r.endMs = startMs + 47000;
    r.durationMs = 46800;
    r.program = "kvflash 4.0.2.2";
    r.link = "USB";
    r.address = "\\\\?\\usb#vid_4b56&pid_0001#sim1001#{a5dcbf10}";
    r.serial = "sim1001";
    r.model = "ZOW3004F";
    r.firmwareBefore = "V5.12";
    r.firmwareAfter = "V5.20";
    r.imagePath = "/fw/FMVQ_V5.20.bin";
    r.imageSize = 65536;
    r.imageSha256 = "26f3be5617dfe4246ca3101f1bc284567886a69dccdec245964d3b36d983961d";
    r.imageVersion = "V5.20";
    r.bytesSent = 65536;
    r.outcome = outcome;
    r.detail = "the printer reports V5.20, the image's version (before: V5.12)";
    return r;
}

FlashRecord ethernetRecord(const std::string& id, int64_t startMs) {
    FlashRecord r = record(id, startMs, std::nullopt);
    r.link = "ETHERNET";
    r.address = "10.0.0.7:10001";
    r.serial.clear();
    r.imagePath = "C:\\fw\\FMVQ_V5.30.bin";
    r.imageVersion = "V5.30";
    return r;
}

constexpr int64_t kMay1 = 1714557600000;  // 2024-05-01T10:00:00Z

TEST(HistoryTable, OneAlignedLinePerFlashNewestLastWithTheCutOffOneMarked) {
    const std::string text = endedLine(record("a", kMay1, platform::VerifyOutcome::Verified)) +
                             "\n" + startedLine(ethernetRecord("b", kMay1 + 3600000)) + "\n";
    const auto table = lines(historyTable(parseHistory(text)));
    ASSERT_EQ(table.size(), 3u);
    const size_t outcomeColumn = table[0].find("OUTCOME");
    ASSERT_NE(outcomeColumn, std::string::npos);
    EXPECT_EQ(table[0].rfind("START (UTC)", 0), 0u);
    EXPECT_EQ(table[1].rfind("2024-05-01T10:00:00Z  USB", 0), 0u) << table[1];
    for (const char* cell : {" sim1001 ", " ZOW3004F ", " V5.12 ", " V5.20 ", " FMVQ_V5.20.bin ",
                             " 26f3be5617df ", " 65536 ", " 47 "}) {
        EXPECT_NE(table[1].find(cell), std::string::npos) << cell;
    }
    EXPECT_EQ(table[1].substr(outcomeColumn),
              "verified: the printer reports V5.20, the image's version (before: V5.12)");
    // The Windows path's file name, and no end of its own.
    EXPECT_EQ(table[2].rfind("2024-05-01T11:00:00Z  ETHERNET", 0), 0u) << table[2];
    EXPECT_NE(table[2].find(" 10.0.0.7:10001 "), std::string::npos);
    EXPECT_NE(table[2].find(" FMVQ_V5.30.bin "), std::string::npos);
    EXPECT_EQ(table[2].substr(outcomeColumn),
              "interrupted: the printer may still be in flash mode");
    EXPECT_EQ(historyTable(parseHistory("")), "");
    // The signer's column only once some record names one.
    EXPECT_EQ(table[0].find("SIGNED BY"), std::string::npos);
    FlashRecord signedOne = record("s", kMay1, platform::VerifyOutcome::Verified);
    signedOne.signatureKey = "03C33CDB3149F848";
    const auto withKey = lines(historyTable(parseHistory(text + endedLine(signedOne) + "\n")));
    ASSERT_EQ(withKey.size(), 4u);
    EXPECT_NE(withKey[0].find("  SIGNED BY  "), std::string::npos) << withKey[0];
    EXPECT_NE(withKey[3].find("  03C33CDB3149F848  "), std::string::npos) << withKey[3];
}

TEST(HistoryTable, TheNoticeNamesTheCutOffFlashOnlyWhenItIsTheNewest) {
    const std::string cut = startedLine(ethernetRecord("b", kMay1)) + "\n";
    const auto notice = interruptedFlashNotice(parseHistory(cut));
    ASSERT_TRUE(notice.has_value());
    for (const char* part :
         {"ZOW3004F", "ETHERNET 10.0.0.7:10001", "2024-05-01T10:00:00Z", "FMVQ_V5.30.bin (V5.30)",
          "may still be in flash mode", "Power-cycle the printer", "Find Printer",
          "Flash the same image again"}) {
        EXPECT_NE(notice->find(part), std::string::npos) << part;
    }
    // A later flash that ended says the printer was dealt with.
    const std::string later =
        cut + endedLine(record("c", kMay1 + 60000, platform::VerifyOutcome::Verified)) + "\n";
    EXPECT_FALSE(interruptedFlashNotice(parseHistory(later)).has_value());
    EXPECT_FALSE(interruptedFlashNotice(parseHistory("")).has_value());
}

// A fleet run: its records under one line with its id, and the advice at
// the next start names every flash of that run that never ended.
TEST(HistoryTable, AFleetRunIsGroupedAndEveryCutOffFlashOfItListed) {
    std::string text = endedLine(record("solo", kMay1, platform::VerifyOutcome::Verified)) + "\n";
    for (int i = 0; i < 30; ++i) {
        FlashRecord r = ethernetRecord("p" + std::to_string(i), kMay1 + 3600000);
        r.fleet = "f1ee7";
        r.address = "127.0.0." + std::to_string(i + 2) + ":10001";
        // Every fourth one ended.
        text += (i % 4 == 3 ? endedLine(r) : startedLine(r)) + "\n";
    }
    const HistoryContent history = parseHistory(text);
    const auto table = lines(historyTable(history));
    ASSERT_EQ(table.size(), 1u + 1u + 1u + 30u);
    EXPECT_EQ(table[2], "fleet run f1ee7: 30 printers");
    const auto notice = interruptedFlashNotice(history);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->rfind("The last fleet run (f1ee7) did not finish 23 flashes:\r\n", 0), 0u)
        << *notice;
    EXPECT_NE(notice->find("ZOW3004F on ETHERNET 127.0.0.2:10001, started"), std::string::npos);
    EXPECT_EQ(notice->find("127.0.0.5:10001"), std::string::npos) << "an ended one is listed";
    // Twenty named (the 20th cut off is 127.0.0.27), the rest counted.
    EXPECT_NE(notice->find("127.0.0.27:10001"), std::string::npos) << *notice;
    EXPECT_EQ(notice->find("127.0.0.28:10001"), std::string::npos) << *notice;
    EXPECT_NE(notice->find("\r\nand 3 more"), std::string::npos) << *notice;
    EXPECT_NE(notice->find("Run the same kvflash --fleet command again"), std::string::npos);
    // A run whose flashes all ended leaves no advice.
    FlashRecord done = ethernetRecord("q", kMay1 + 7200000);
    done.fleet = "0ther";
    EXPECT_FALSE(interruptedFlashNotice(parseHistory(text + endedLine(done) + "\n")));
}

// The rows a window's table shows: every outcome in its tone, the flash cut
// off marked, the fleet run's id on its rows, device text as one line, and
// the values a view sorts by typed (a time, a count, a text).
TEST(HistoryRows, EveryOutcomeTheCutOffFlashAFleetRunAndDeviceText) {
    const auto rows = historyRows(parseHistory(testing::sampleHistoryText()));
    const auto& want = testing::sampleRows();
    ASSERT_EQ(rows.size(), want.size());
    for (size_t n = 0; n < rows.size(); ++n) {
        SCOPED_TRACE(n);
        const HistoryRow& row = rows[n];
        const bool cut = want[n].interrupted;
        EXPECT_EQ(row[HistoryColumn::Outcome].text, want[n].outcome);
        EXPECT_EQ(row.tone, want[n].tone);
        EXPECT_EQ(row.interrupted, cut);
        EXPECT_EQ(row.fleet, want[n].fleet);
        EXPECT_EQ(row[HistoryColumn::Fleet].text, want[n].fleet);
        const int64_t start = testing::kSampleStartMs + static_cast<int64_t>(n) * 60000;
        EXPECT_EQ(row[HistoryColumn::Start].text, isoUtc(start));
        EXPECT_EQ(row[HistoryColumn::Start].key, HistorySortKey(start));
        EXPECT_EQ(row[HistoryColumn::Sent].key, HistorySortKey(want[n].bytesSent));
        EXPECT_EQ(row[HistoryColumn::Sent].text, cut ? "-" : std::to_string(want[n].bytesSent));
        EXPECT_EQ(row[HistoryColumn::Seconds].text, cut ? "-" : std::to_string(47 + n));
        EXPECT_EQ(row[HistoryColumn::After].text, cut ? "-" : "V5.20");
        EXPECT_EQ(row[HistoryColumn::Detail].text,
                  cut ? kInterruptedDetail : "detail of r" + std::to_string(n));
        EXPECT_EQ(row[HistoryColumn::Size].key, HistorySortKey(uint64_t{100000}));
        EXPECT_EQ(row[HistoryColumn::Address].text,
                  n < 2 ? "sim1001" : "10.0.0." + std::to_string(n) + ":10001");
        EXPECT_EQ(row[HistoryColumn::Image].text, "FMVQ_V5.20.bin");
        EXPECT_EQ(row[HistoryColumn::Sha256].text, "26f3be5617df");
        EXPECT_EQ(row[HistoryColumn::Signature].text, n == 1 ? "03C33CDB3149F848" : "-");
        EXPECT_EQ(row[HistoryColumn::Model].text,
                  n == 4 ? testing::kHostileModelShown : "ZOW3004F");
        EXPECT_EQ(row[HistoryColumn::Model].key, HistorySortKey(row[HistoryColumn::Model].text));
    }
}

TEST(HistoryCommand, TableJsonDamagedLinesAndAnUnreadableFile) {
    testing::SimWorld w;
    std::ostringstream out, err;
    EXPECT_EQ(showHistory(w.sys, false, out, err), 0);
    EXPECT_EQ(out.str(), "No flash recorded yet in memory:history.\n");
    // None here, but a demo flashed the simulated printers: stderr says so.
    platform::sim::MemoryHistory simulated;
    simulated.setContent(endedLine(record("s", kMay1, platform::VerifyOutcome::Verified)) + "\n");
    out.str("");
    EXPECT_EQ(showHistory(w.sys, false, out, err, &simulated), 0);
    EXPECT_EQ(out.str(), "No flash recorded yet in memory:history.\n");
    EXPECT_EQ(err.str(),
              "The simulated printers' history has 1 record: kvflash --history --simulate\n");

    const std::string good = endedLine(record("a", kMay1, platform::VerifyOutcome::Mismatch));
    w.history.setContent("garbage\n" + good + "\n{\"event\":\"ended\"}\n");
    out.str("");
    err.str("");
    EXPECT_EQ(showHistory(w.sys, true, out, err), 0);
    EXPECT_EQ(out.str(), good + "\n");
    EXPECT_EQ(lines(err.str()),
              (std::vector<std::string>{
                  "line 1 of memory:history is damaged (not a JSON object); skipped",
                  "line 3 of memory:history is damaged (no \"id\"); skipped"}));

    out.str("");
    err.str("");
    EXPECT_EQ(showHistory(w.sys, false, out, err, &simulated), 0);
    EXPECT_EQ(lines(out.str()).size(), 2u);
    EXPECT_NE(out.str().find("mismatch: "), std::string::npos);
    EXPECT_EQ(lines(err.str()).size(), 2u);

    w.history.setUnreadable(true);
    out.str("");
    err.str("");
    EXPECT_EQ(showHistory(w.sys, false, out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              "kvflash: the flash history cannot be read: memory:history cannot be read\n");
}

// The window's box; in automatic-load mode, where nobody clicks, a notice
// and a trace line.
TEST(HistoryCommand, StartUpWarningAfterAnInterruptedFlash) {
    for (const bool autoLoadMode : {false, true}) {
        SCOPED_TRACE(autoLoadMode);
        testing::SimWorld w;
        w.state.autoLoadMode = autoLoadMode;
        warnOfInterruptedFlash(w.ctx);
        EXPECT_TRUE(w.ui.boxes().empty());
        EXPECT_TRUE(w.ui.notices().empty());
        w.history.setContent(startedLine(record("a", kMay1, std::nullopt)) + "\n");
        warnOfInterruptedFlash(w.ctx);
        const std::string notice = *interruptedFlashNotice(parseHistory(w.history.content()));
        const bool traced = w.trace.contains("Flash history - Interrupted flash: " +
                                             platform::escapeDeviceText(notice));
        if (!autoLoadMode) {
            ASSERT_EQ(w.ui.boxes().size(), 1u);
            EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>(kInterruptedCaption));
            EXPECT_EQ(w.ui.boxes()[0].text, notice);
            EXPECT_TRUE(w.ui.notices().empty());
            EXPECT_FALSE(traced);
        } else {
            EXPECT_TRUE(w.ui.boxes().empty());
            EXPECT_EQ(w.ui.notices(),
                      std::vector<std::string>{std::string(kInterruptedCaption) + ": " + notice});
            EXPECT_TRUE(traced);
        }
    }
}

// Found, flashed, then History: the flash is in the table, also while the
// next flash runs.
TEST(HistoryCommand, TheHistoryButtonShowsTheTable) {
    LocalFlashWorld w;
    struct NoHost final : DialogHost {
        std::string title() override { return {}; }
        void setTitle(const std::string&) override {}
        void startTimer(int, unsigned) override {}
        void stopTimer(int) override {}
        void endDialog(int) override {}
    } host;
    MainDialog dialog(w.ctx, host);
    emulator::PrinterConfig c;
    c.link = emulator::LinkKind::Usb;
    c.deviceId = testing::kZowId;
    w.attach(c);
    w.find();
    w.image(testing::imageBytes(20000, "V5.20"));
    ASSERT_TRUE(w.flash().ended);
    w.ui.clear();
    w.state.flashInProgress = true;
    dialog.onCommand(dialog::kHistory);
    w.state.flashInProgress = false;
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, std::optional<std::string>(kHistoryCaption));
    const auto text = lines(w.ui.boxes()[0].text);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text[0], "Flashes recorded in memory:history, newest last:");
    EXPECT_NE(text[3].find("verified: the printer reports V5.20"), std::string::npos) << text[3];
}

}  // namespace
}  // namespace kv
