// Every press of Flash Printer NOW on a local printer ends in one verdict,
// one record in the history, and the machine kept awake from flash-mode
// entry to the worker's ending.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "flash/FlashAttempt.h"
#include "flash/FlashHistory.h"
#include "flash/Selection.h"
#include "image/Sha256.h"
#include "spooler/PortRedirection.h"
#include "tests/flash/LocalFlashWorld.h"

namespace kv {
namespace {

using emulator::LinkKind;
using emulator::PrinterConfig;
using platform::Control;
using platform::VerifyOutcome;
using testing::Bytes;
using testing::imageBytes;
using testing::LocalFlashWorld;

constexpr const char* kZow = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
// What the kernel keeps of a parallel printer's ID: no "FWV:".
constexpr const char* kZowWithoutVersion = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;";
constexpr const char* kZor12 = "MFG:KV;MDL:ZOR12G;CMD:G;FWV:R6.02;";
const Bytes kFlashRequest{0x1B, 0x2A, 0x46, 0x52};

PrinterConfig printer(LinkKind link = LinkKind::Usb, const char* id = kZow) {
    PrinterConfig c;
    c.link = link;
    c.deviceId = id;
    return c;
}

// An image without any "FWV:".
Bytes unmarked(size_t size) {
    Bytes b = testing::pseudoRandomBytes(size, 5);
    std::replace(b.begin(), b.end(), uint8_t{'F'}, uint8_t{'f'});
    return b;
}

struct Row {
    const char* name;
    PrinterConfig config;
    std::optional<Bytes> image;  // nothing: the file named does not exist
    std::function<void(LocalFlashWorld&)> arrange;
    bool workerStarts;
    bool flashModeEntered;
    VerifyOutcome outcome;
    std::string detail;
    uint64_t bytesSent;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

PrinterConfig neverBack() {
    PrinterConfig c = printer();
    c.neverComesBack = true;
    return c;
}

PrinterConfig noFlashReady() {
    PrinterConfig c = printer();
    c.flashReadyMissing = true;
    return c;
}

PrinterConfig zor1() {
    PrinterConfig c = printer(LinkKind::Usb, kZor12);
    c.zor1Family = true;
    return c;
}

class FlashOutcome : public ::testing::TestWithParam<Row> {};

TEST_P(FlashOutcome, OneVerdictOneRecordAndTheMachineAwakeMeanwhile) {
    const Row& r = GetParam();
    LocalFlashWorld w;
    w.attach(r.config);
    w.find();
    ASSERT_EQ(w.state.printerCount, 1);
    if (r.image) {
        w.image(*r.image);
    } else {
        w.state.firmwareFileName = w.dir.file("missing.bin");
    }
    if (r.arrange) r.arrange(w);

    // When the machine is held awake and let go: what the printer had been
    // sent by then, what the history held, and whether the worker ran.
    struct Seen {
        bool acquire;
        bool flashRequestSent;
        std::string history;
        bool flashInProgress;
    };
    std::mutex mutex;
    std::vector<Seen> seen;
    w.inhibitor.onEvent([&](const platform::sim::RecordingSleepInhibitor::Event& e) {
        const Bytes sent = w.io.written(w.port);
        const bool requested = std::search(sent.begin(), sent.end(), kFlashRequest.begin(),
                                           kFlashRequest.end()) != sent.end();
        std::lock_guard lock(mutex);
        seen.push_back({e.acquire, requested, w.history.content(), w.state.flashInProgress.load()});
    });

    const auto out = w.flash();
    EXPECT_EQ(out.started, r.workerStarts);
    EXPECT_FALSE(w.state.flashInProgress);

    // The verdict: the last flash's, once.
    const auto verdicts = w.controls.verifications();
    ASSERT_EQ(verdicts.size(), 2u) << "cleared at the press, then the verdict";
    EXPECT_FALSE(verdicts[0].has_value());
    ASSERT_TRUE(verdicts[1].has_value());
    EXPECT_EQ(verdicts[1]->outcome, r.outcome);
    EXPECT_EQ(verdicts[1]->detail, r.detail);

    // The record.
    const HistoryContent h = parseHistory(w.history.content());
    EXPECT_TRUE(h.damaged.empty());
    ASSERT_EQ(h.entries.size(), 1u);
    const HistoryEntry& e = h.entries[0];
    EXPECT_TRUE(e.ended);
    EXPECT_EQ(e.record.outcome, r.outcome);
    EXPECT_EQ(e.record.detail, r.detail);
    EXPECT_EQ(e.record.bytesSent, r.bytesSent);
    EXPECT_EQ(e.record.link, r.config.link == LinkKind::Parallel ? "LPT1" : "USB");
    EXPECT_EQ(e.record.address, r.config.link == LinkKind::Parallel ? "LPT1" : w.port);
    const char* serial = r.config.zor1Family ? "zor12-0001" : testing::kZowSerial;
    EXPECT_EQ(e.record.serial, r.config.link == LinkKind::Parallel ? "" : serial);
    EXPECT_EQ(e.record.model, w.state.printerData.typeName);
    EXPECT_EQ(e.record.program, "kvflash 4.0.2.2");
    EXPECT_EQ(e.record.imagePath, w.state.firmwareFileName);
    if (r.image) {
        EXPECT_EQ(e.record.imageSize, r.image->size());
        EXPECT_EQ(e.record.imageSha256.size(), 64u);
    }
    // A "started" line exactly when the printer was put into flash mode.
    const size_t startedLines = std::count_if(h.lines.begin(), h.lines.end(), [](const auto& l) {
        return l.find("\"event\":\"started\"") != std::string::npos;
    });
    EXPECT_EQ(startedLines, r.flashModeEntered ? 1u : 0u);

    // Awake from flash-mode entry (the started line on disk, no request sent
    // yet) to the ending (after the re-probe, before the flag goes).
    if (!r.flashModeEntered) {
        EXPECT_TRUE(seen.empty());
        return;
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].acquire);
    EXPECT_FALSE(seen[0].flashRequestSent);
    EXPECT_NE(seen[0].history.find("\"event\":\"started\""), std::string::npos);
    EXPECT_FALSE(seen[1].acquire);
    EXPECT_EQ(seen[1].flashInProgress, r.workerStarts);
    EXPECT_FALSE(w.inhibitor.held());
    const auto events = w.inhibitor.events();
    EXPECT_EQ(events[0].who, kInhibitorWho);
    EXPECT_EQ(events[0].why, kInhibitorWhy);
}

INSTANTIATE_TEST_SUITE_P(
    LocalFlash, FlashOutcome,
    ::testing::Values(
        Row{"Verified", printer(), imageBytes(20000, "V5.20"), nullptr, true, true,
            VerifyOutcome::Verified,
            "the printer reports V5.20, the image's version (before: V5.12)", 20000},
        Row{"VerifiedOnTheParallelPort", printer(LinkKind::Parallel), imageBytes(3000, "V5.30"),
            nullptr, true, true, VerifyOutcome::Verified,
            "the printer reports V5.30, the image's version (before: V5.12)", 3000},
        Row{"Zor1ReportsItsVersionItsOwnWay", zor1(), imageBytes(20000, "R6.10"), nullptr, true,
            true, VerifyOutcome::Verified,
            "the printer reports R6.10, the image's version (before: R6.02)", 20000},
        // Judged by the whole "FWV:" value the printer reports, not by the
        // part shown ("V1.03)").
        Row{"Zor1JudgedByItsWholeVersion",
            [] {
                PrinterConfig c =
                    printer(LinkKind::Usb, "MFG:KV;CMD:ZPL;MDL:ZOR12G;CLS:PRINTER;FWV:V1.02)GAP;");
                c.zor1Family = true;
                return c;
            }(),
            imageBytes(20000, "V1.03)GAP"), nullptr, true, true, VerifyOutcome::Verified,
            "the printer reports V1.03)GAP, the image's version (before: V1.02)GAP)", 20000},
        Row{"NeverBack", neverBack(), imageBytes(20000, "V5.20"), nullptr, true, true,
            VerifyOutcome::NotFound,
            "the printer did not come back after the flash (before: V5.12)", 20000},
        Row{"NoMarker", printer(), unmarked(20000), nullptr, true, true, VerifyOutcome::Unchecked,
            "the image carries no version marker; before: V5.12, after: V5.12", 20000},
        // The ID has no version; the status reply's text stands in (this
        // printer's has none before the flash).
        Row{"ParallelIdWithoutVersion", printer(LinkKind::Parallel, kZowWithoutVersion),
            imageBytes(3000, "V5.30"), nullptr, true, true, VerifyOutcome::Verified,
            "the printer reports V5.30, the image's version (before: unknown)", 3000},
        Row{"EmptyImage", printer(), Bytes{}, nullptr, true, true, VerifyOutcome::Failed,
            "the image is empty; nothing was sent", 0},
        // Checked before flash mode: the printer is left alone.
        Row{"FileGone", printer(), std::nullopt, nullptr, false, false, VerifyOutcome::Failed,
            "FW file DID NOT open", 0},
        Row{"WriteFails", printer(), imageBytes(40000, "V5.20"),
            [](LocalFlashWorld& w) {
                int blocks = 0;
                w.faulty.failWritesWhen([blocks](const uint8_t*, size_t n) mutable {
                    return n == 8192 && ++blocks == 3;
                });
            },
            true, true, VerifyOutcome::Failed, "Write flash error = Dec = 5, Hex = 5", 16384},
        Row{"NoFlashReady", noFlashReady(), imageBytes(20000, "V5.20"), nullptr, false, true,
            VerifyOutcome::Failed, "Failed to entered flash programming mode", 0},
        Row{"NotReady",
            [] {
                PrinterConfig c = printer();
                c.statusByte3 = 0x80;
                return c;
            }(),
            imageBytes(20000, "V5.20"), nullptr, false, false, VerifyOutcome::Failed,
            "ZOW3004F printer is NOT ready, resolve and try again  USB", 0},
        // The print queues cannot be parked: the program ends, unflashed.
        Row{"SpoolerFails", printer(), imageBytes(20000, "V5.20"),
            [](LocalFlashWorld& w) { w.spooler.setListOutOfMemory(true); }, false, false,
            VerifyOutcome::Failed, kNoMemoryText, 0}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// A worker that never reaches its ending (the program killed mid-transfer)
// leaves the started record alone in the file.
TEST(FlashRecord, AKillMidTransferLeavesTheStartedRecordAlone) {
    LocalFlashWorld w;
    w.attach(printer());
    w.find();
    w.image(imageBytes(40000, "V5.20"));
    std::string atKill;
    w.hooked.setHook([&](auto, Control control, const std::string& text) {
        if (control == Control::programStateText && text == "16 KBytes programmed\r\n")
            atKill = w.history.content();
    });
    ASSERT_TRUE(w.flash().ended);

    const HistoryContent cut = parseHistory(atKill);
    ASSERT_EQ(cut.entries.size(), 1u);
    EXPECT_FALSE(cut.entries[0].ended);
    EXPECT_EQ(cut.entries[0].record.model, "ZOW3004F");
    EXPECT_EQ(cut.entries[0].record.firmwareBefore, "V5.12");
    EXPECT_EQ(cut.entries[0].record.imageVersion, "V5.20");
    // The run that did end completes the same record.
    const HistoryContent done = parseHistory(w.history.content());
    ASSERT_EQ(done.entries.size(), 1u);
    EXPECT_TRUE(done.entries[0].ended);
    EXPECT_EQ(done.entries[0].record.id, cut.entries[0].record.id);
}

// A history that cannot be written, or a machine without a sleep service,
// stops no flash.
TEST(FlashRecord, NeitherAFailingHistoryNorAMissingInhibitorStopsAFlash) {
    LocalFlashWorld w;
    w.attach(printer());
    w.find();
    w.image(imageBytes(20000, "V5.20"));
    w.history.setContent("{\"event\":\"started\",\"id\":\"x\",\"start\":\"2024-0");
    w.history.setFailAppend(true);
    w.inhibitor.setUnavailable(true);
    ASSERT_TRUE(w.flash().ended);
    const auto verdicts = w.controls.verifications();
    ASSERT_FALSE(verdicts.empty());
    ASSERT_TRUE(verdicts.back().has_value());
    EXPECT_EQ(verdicts.back()->outcome, VerifyOutcome::Verified);
    EXPECT_EQ(w.trace.count("Sleep inhibitor - none held: no sleep inhibitor on this machine"), 1u);
    EXPECT_EQ(w.trace.count("Flash history - the started record was not written: memory:history "
                            "cannot be written"),
              1u);
    EXPECT_TRUE(w.inhibitor.events().empty());
}

// Each accepted file shows what it holds; a rejected or cancelled one takes
// the line away.
TEST(ImageFacts, ShownOnAcceptanceAndTakenAwayOtherwise) {
    LocalFlashWorld w;
    w.attach(printer());
    w.find();
    const Bytes image = imageBytes(5000, "V5.20");
    const std::string path = w.dir.file("FMVQ_V5.20.bin");
    testing::writeAll(path, image);
    w.ui.queueFile(path);
    w.ui.queueFile(std::nullopt);
    w.ui.queueFile(w.dir.file("FMVQ_gone.bin"));
    SelectFirmwareFile(w.ctx);
    SelectFirmwareFile(w.ctx);
    SelectFirmwareFile(w.ctx);
    const auto facts = w.controls.imageFacts();
    ASSERT_EQ(facts.size(), 3u);
    ASSERT_TRUE(facts[0].has_value());
    EXPECT_TRUE(facts[0]->readable);
    EXPECT_EQ(facts[0]->fileName, "FMVQ_V5.20.bin");
    EXPECT_EQ(facts[0]->size, 5000u);
    EXPECT_EQ(facts[0]->version, "V5.20");
    EXPECT_EQ(facts[0]->sha256, sha256Hex(image));
    EXPECT_FALSE(facts[1].has_value());
    // Accepted by its name, but not there to read.
    ASSERT_TRUE(facts[2].has_value());
    EXPECT_FALSE(facts[2]->readable);
    EXPECT_FALSE(facts[2]->reason.empty());
}

}  // namespace
}  // namespace kv
