// The network printers' window logic over emulated printers on loopback,
// each on a virtual clock of its own.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "app/FleetDialog.h"
#include "app/MainDialog.h"
#include "tests/fleet/FleetTestWorld.h"
#include "tests/support/SimWorld.h"

namespace kv {
namespace {

using emulator::PrinterConfig;
using fleettest::imageBytes;
using fleettest::printer;
using fleet::Outcome;
using fleet::Phase;
using platform::VerifyOutcome;
using Bytes = std::vector<uint8_t>;

class RecordingHost final : public FleetWindowHost {
public:
    void draw(const FleetPicture& p) override {
        last = p;
        ++draws;
    }
    void startTimer(unsigned) override { timer = true; }
    void stopTimer() override { timer = false; }
    FleetPicture last;
    int draws = 0;
    bool timer = false;
};

class QuietHost final : public DialogHost {
public:
    std::string title() override { return ""; }
    void setTitle(const std::string&) override {}
    void startTimer(int, unsigned) override {}
    void stopTimer(int) override {}
    void endDialog(int) override {}
};

// The main window's world (its boxes, flag and history) over a fleet of
// emulated printers, with the window's logic on top.
struct FleetWindowWorld {
    explicit FleetWindowWorld(const std::vector<std::optional<PrinterConfig>>& printers,
                              uint32_t first)
        : fleet(printers, first) {
        sim.sys.wired.network = &fleet.network;
        const std::string path = fleet.dir.file("FMVQ_V5.20.bin");
        testing::writeAll(path, imageBytes(40001));
        sim.state.firmwareFileName = path;
        std::string targets;
        for (const auto& p : fleet.printers) targets += p->endpoint.text() + " ";
        dialog.onOpen();
        dialog.onTargetsEdited(targets);
    }
    const FleetRow& row(size_t printer) const {
        const std::string address = fleet.printers[printer]->endpoint.text();
        for (const FleetRow& r : host.last.rows)
            if (r.address == address) return r;
        throw std::runtime_error("no row for " + address);
    }
    void settle() {
        ASSERT_TRUE(dialog.waitIdle(std::chrono::seconds(60)));
        dialog.onTimer();
    }

    fleettest::FleetTestWorld fleet;
    testing::SimWorld sim;
    RecordingHost host;
    FleetDialog dialog{sim.ctx, host,
                       [this](size_t i) -> platform::Clock& { return fleet.printers[i]->clock; }};
};

// Scan, the plan's reasons, the question, and a run of three printers with
// one dropping the link: every row ends in its verdict and colour, from the
// fleet's own snapshots; device text arrives as it came.
TEST(FleetDialog, ScanPlanAndFlashDrawEveryRowFromTheFleet) {
    PrinterConfig dropped = printer();
    dropped.dropAfterImageBytes = 20000;
    FleetWindowWorld w(
        {printer(), dropped, printer(),
         printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;"),
         printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V6.01<b>x</b>;"), std::nullopt},
        fleettest::kFirstAddress + 120);
    ASSERT_TRUE(w.host.last.image);
    EXPECT_EQ(w.host.last.image->version, "V5.20");
    w.dialog.onScan();
    EXPECT_TRUE(w.host.last.scanning);
    w.settle();
    EXPECT_FALSE(w.host.last.scanning);
    EXPECT_FALSE(w.host.timer);
    EXPECT_EQ(w.sim.fleetTargets.read().value_or(""), w.host.last.targets + "\n");

    struct Expected {
        bool suits;
        const char* suitsHas;
        const char* phase;
        std::optional<VerifyOutcome> verdict;
    };
    const std::vector<Expected> expected = {
        {true, "yes", "verified", VerifyOutcome::Verified},
        {true, "yes", "mismatch", VerifyOutcome::Mismatch},
        {true, "yes", "verified", VerifyOutcome::Verified},
        {false, "already reports V5.20", "", std::nullopt},
        {false, "", "", std::nullopt},
    };
    ASSERT_EQ(w.host.last.rows.size(), expected.size()) << "the unreachable one is not listed";
    for (size_t i = 0; i < expected.size(); ++i) {
        const FleetRow& r = w.row(i);
        EXPECT_EQ(r.suits, expected[i].suits) << i;
        EXPECT_EQ(r.checked, expected[i].suits) << i;
        EXPECT_NE(r.suitsText.find(expected[i].suitsHas), std::string::npos) << r.suitsText;
    }
    EXPECT_NE(w.row(4).firmware.find("<b>x</b>"), std::string::npos) << "kept as text";
    EXPECT_FALSE(w.row(4).suitsText.empty());
    EXPECT_EQ(w.host.last.unreachable, "1 address refused, 0 silent, 0 no-reply, 0 not-kv");
    w.dialog.onToggle(3, true);  // the plan's skip cannot be checked
    EXPECT_FALSE(w.row(3).checked);

    w.sim.ui.queueAnswer(true);
    w.dialog.onFlashSelected();
    const auto boxes = w.sim.ui.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Flash 3 printers with FMVQ_V5.20.bin (V5.20)? 2 are skipped: " +
                                 w.row(3).address + " (the printer already reports V5.20), " +
                                 w.row(4).address + " (" + w.row(4).suitsText + ")");
    w.settle();
    EXPECT_FALSE(w.sim.state.flashInProgress);
    // Awake from the question's Yes to the last printer's end: one hold,
    // not one per printer with gaps between the canary and the rest.
    const auto held = w.sim.inhibitor.events();
    ASSERT_EQ(held.size(), 2u);
    EXPECT_TRUE(held[0].acquire);
    EXPECT_FALSE(held[1].acquire);
    for (size_t i = 0; i < expected.size(); ++i) {
        const FleetRow& r = w.row(i);
        EXPECT_EQ(r.phase, expected[i].phase) << i;
        EXPECT_EQ(r.verdict, expected[i].verdict) << i;
        EXPECT_EQ(r.progressMaximum, 0u) << i;
        EXPECT_EQ(r.detail.empty(), !expected[i].verdict) << i;
    }
    EXPECT_EQ(w.host.last.summary.substr(0, w.host.last.summary.find(';')),
              "3 printers: 2 verified, 1 mismatch");
    EXPECT_EQ(w.fleet.printers[0]->model->flashImage().size(), 40002u);

    // The row's history: its own record only.
    w.dialog.onShowHistory(1);
    const std::string report = w.sim.ui.boxes().back().text;
    EXPECT_NE(report.find(w.row(1).address), std::string::npos) << report;
    EXPECT_EQ(report.find(w.row(0).address), std::string::npos) << report;
}

// Stop while the canary is in flash mode: it finishes, no other starts.
// Meanwhile the window and the main window refuse to close, and the main
// window's flash and searches do nothing; a main window's flash keeps the
// fleet from starting.
TEST(FleetDialog, StopAndOneFlashPerMachine) {
    FleetWindowWorld w({printer(), printer(), printer()}, fleettest::kFirstAddress + 140);
    w.dialog.onScan();
    w.settle();

    w.sim.state.flashInProgress = true;  // the main window's flash
    w.dialog.onFlashSelected();
    EXPECT_EQ(w.sim.ui.boxTexts().back(),
              "A printer is being flashed from the main window: one flash at a time.");
    EXPECT_FALSE(w.host.last.flashing);
    w.sim.state.flashInProgress = false;

    // The canary's first pause after its started record: it is in flash
    // mode.
    std::mutex m;
    std::condition_variable cv;
    bool inFlashMode = false, go = false;
    w.fleet.printers[0]->clock.beforeSleep = [&] {
        if (w.sim.history.content().find("\"started\"") == std::string::npos) return;
        std::unique_lock lock(m);
        inFlashMode = true;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(30), [&] { return go; });
    };
    w.sim.ui.queueAnswer(true);
    w.dialog.onFlashSelected();
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return inFlashMode; }));
    }
    EXPECT_TRUE(w.sim.state.flashInProgress) << "the run holds the machine's one flag";
    w.dialog.onTimer();
    EXPECT_EQ(w.row(0).phase, "flash-mode");
    EXPECT_FALSE(w.dialog.onClose());
    EXPECT_EQ(w.sim.ui.boxTexts().back(), kCannotExitText);
    QuietHost mainHost;
    MainDialog main(w.sim.ctx, mainHost);
    main.onCommand(dialog::kExit);
    EXPECT_FALSE(main.ended());
    EXPECT_EQ(w.sim.ui.boxTexts().back(), kCannotExitText);
    w.sim.state.printerCount = 1;
    main.onCommand(dialog::kSelectFile);
    EXPECT_TRUE(w.sim.ui.fileRequests().empty());

    w.dialog.onStop();
    {
        std::lock_guard lock(m);
        go = true;
    }
    cv.notify_all();
    w.settle();
    EXPECT_EQ(w.row(0).phase, "verified");
    EXPECT_EQ(w.row(1).phase, "untouched");
    EXPECT_EQ(w.row(1).detail, "not started: Stopped by the Stop button");
    EXPECT_EQ(w.row(2).phase, "untouched");
    EXPECT_TRUE(w.dialog.onClose());
    main.onCommand(dialog::kExit);
    EXPECT_TRUE(main.ended());
}

// A row's bar, phase and colour, and the summary's time left, from a
// printer's snapshot alone.
TEST(FleetDialog, RowsAndSummaryFollowTheSnapshot) {
    struct Case {
        Phase phase;
        platform::TransferProgress progress;
        std::optional<Outcome> outcome;
        const char* phaseText;
        const char* progressText;
        std::optional<VerifyOutcome> verdict;
        uint64_t leftMs;
    };
    using TP = platform::TransferPhase;
    const std::vector<Case> cases = {
        {Phase::Waiting, {}, std::nullopt, "waiting", "", std::nullopt, 43100},
        {Phase::StartDelay,
         {TP::StartDelay, 5, 15},
         std::nullopt,
         "start-delay",
         "10 s left",
         std::nullopt,
         36000},
        {Phase::Sending,
         {TP::Data, 8192, 40960},
         std::nullopt,
         "sending",
         "8/40 KB",
         std::nullopt,
         26000},
        {Phase::ResetWait,
         {TP::ResetWait, 20, 25},
         std::nullopt,
         "reset-wait",
         "5 s left",
         std::nullopt,
         5000},
        {Phase::Done, {}, Outcome::Verified, "verified", "", VerifyOutcome::Verified, 0},
        {Phase::Done, {}, Outcome::Unchecked, "unchecked", "", VerifyOutcome::Unchecked, 0},
        {Phase::Done, {}, Outcome::NotFound, "not-found", "", VerifyOutcome::NotFound, 0},
        {Phase::Done, {}, Outcome::Untouched, "untouched", "", std::nullopt, 0},
    };
    std::vector<fleet::PrinterSnapshot> all;
    for (const Case& c : cases) {
        fleet::PrinterSnapshot p;
        p.phase = c.phase;
        p.progress = c.progress;
        p.outcome = c.outcome;
        p.detail = "<i>from the device</i>";
        FleetRow row;
        showRun(row, p);
        EXPECT_EQ(row.phase, c.phaseText);
        EXPECT_EQ(row.progressText, c.progressText) << c.phaseText;
        EXPECT_EQ(row.progressMaximum > 0, *c.progressText != '\0') << c.phaseText;
        EXPECT_EQ(row.verdict, c.verdict) << c.phaseText;
        EXPECT_EQ(row.detail, p.detail);
        EXPECT_EQ(pausesLeftMs(p), c.leftMs) << c.phaseText;
        all.push_back(p);
    }
    // The longest running printer's pauses, and one more whole flash for the
    // waiting one.
    EXPECT_EQ(fleetSummaryLine(all, 61000, 32),
              "8 printers: 1 verified, 1 not-found, 1 unchecked, 1 untouched, 3 running, 1 "
              "waiting; 61 s elapsed, about 80 s left");
}

}  // namespace
}  // namespace kv
