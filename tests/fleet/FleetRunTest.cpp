// The fleet core: many emulated printers, each on a loopback address and a
// virtual clock of its own, flashed in one run.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "flash/EthernetFlash.h"
#include "flash/FlashHistory.h"
#include "fleet/FleetSummary.h"
#include "tests/fleet/FleetTestWorld.h"
#include "ui/console/FleetView.h"

namespace kv::fleettest {
namespace {

using emulator::PrinterConfig;
using fleet::Outcome;
using Bytes = std::vector<uint8_t>;

struct FleetOutcome {
    std::unique_ptr<fleet::Fleet> fleet;
    fleet::FleetSummary summary;
};

FleetOutcome runFleet(FleetTestWorld& w, std::shared_ptr<const PreloadedImage> image,
                      fleet::FleetSettings settings,
                      const std::function<void(fleet::Fleet&)>& before = {}) {
    FleetOutcome r;
    r.fleet = std::make_unique<fleet::Fleet>(w.shared(), w.endpoints(), settings);
    r.fleet->scan();
    r.fleet->plan(std::move(image));
    if (before) before(*r.fleet);
    r.fleet->run("f1ee7f1ee7f1ee70");
    r.summary = fleet::summarize(*r.fleet);
    return r;
}

// The bytes a printer must have taken: the image, and a pad byte for an
// odd length.
Bytes onTheWire(const Bytes& image) {
    Bytes wire = image;
    if (wire.size() % 2) wire.push_back(kEthernetPadByte);
    return wire;
}

TEST(FleetRun, MixedEndsEachPrinterItsOwnVerdictBytesAndRecord) {
    struct Case {
        const char* name;
        std::optional<PrinterConfig> config;
        Outcome outcome;
        const char* detailHas;
        bool leftInFlashMode;
        const char* ownBox = "";
    };
    const size_t kImageSize = 40001;  // odd: every transfer adds its pad byte
    PrinterConfig dropped = printer();
    dropped.dropAfterImageBytes = 20000;
    PrinterConfig droppedAtEnd = printer();
    droppedAtEnd.dropAfterImageBytes = kImageSize + 1;
    PrinterConfig notReady = printer();
    notReady.statusByte3 = 0x80;
    PrinterConfig noFlashReady = printer();
    noFlashReady.flashReadyMissing = true;
    PrinterConfig neverBack = printer();
    neverBack.neverComesBack = true;
    const std::vector<Case> cases = {
        {"verified", printer(), Outcome::Verified, "V5.20", false},
        // The host's sends went out; the printer kept its old firmware.
        {"dropped mid-image", dropped, Outcome::Mismatch, "unchanged", false},
        {"dropped after the last byte", droppedAtEnd, Outcome::Mismatch, "unchanged", false},
        // Skipped at the plan with its state: no record, no failure.
        {"not ready", notReady, Outcome::NotReady, "not ready (status 80 00)", false},
        // Another maker's device answering on the printer port.
        {"another maker", printer("MFG:ACME;CMD:PCL;MDL:LJ100;CLS:PRINTER;"), Outcome::NotKv,
         "its ID names the maker ACME", false},
        {"no maker, its firmware", printer("CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;"),
         Outcome::Verified, "V5.20", false},
        // Asked into flash mode without an answer: it may be there.
        {"no FLASH READY", noFlashReady, Outcome::Failed, "flash programming mode", true,
         "Failed to entered flash programming mode"},
        {"incompatible board", printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V6.01;"),
         Outcome::Incompatible, "", false},
        {"same version", printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;"),
         Outcome::SameVersion, "already reports V5.20", false},
        {"unreachable", std::nullopt, Outcome::Unreachable, "refused", false},
        {"never back", neverBack, Outcome::NotFound, "", true},
        {"verified too", printer(), Outcome::Verified, "V5.20", false},
    };
    std::vector<std::optional<PrinterConfig>> configs;
    for (const Case& c : cases) configs.push_back(c.config);
    FleetTestWorld w(configs);
    const Bytes image = imageBytes(kImageSize);
    fleet::FleetSettings settings;
    settings.canary = 0;
    settings.maxFailures = 0;
    const FleetOutcome r = runFleet(w, w.image(image), settings);

    const auto history = parseHistory(w.history.content());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const fleet::PrinterSnapshot& p = r.summary.printers[i];
        ASSERT_TRUE(p.outcome) << c.name;
        EXPECT_EQ(*p.outcome, c.outcome) << c.name << ": " << p.detail;
        EXPECT_NE(p.detail.find(c.detailHas), std::string::npos) << c.name << ": " << p.detail;
        EXPECT_EQ(p.mayBeLeftInFlashMode(), c.leftInFlashMode) << c.name;
        // A printer's boxes are its own: a box only one printer shows is in
        // that printer's record alone.
        for (size_t j = 0; j < cases.size(); ++j) {
            const bool has = std::any_of(p.boxes.begin(), p.boxes.end(), [&](const auto& b) {
                return b.find(cases[j].ownBox) != std::string::npos;
            });
            if (*cases[j].ownBox) {
                EXPECT_EQ(has, i == j) << c.name << " / " << cases[j].ownBox;
            }
        }
        if (c.outcome != Outcome::Verified && c.outcome != Outcome::Mismatch &&
            !c.leftInFlashMode && w.printers[i]->model) {
            // Never asked into flash mode.
            EXPECT_EQ(w.printers[i]->model->flashSummary().phase, emulator::FlashPhase::Idle)
                << c.name;
            EXPECT_EQ(w.printers[i]->model->flashSummary().flashes, 0u) << c.name;
        }
        if (c.outcome == Outcome::Verified) {
            EXPECT_EQ(w.printers[i]->model->flashImage(), onTheWire(image)) << c.name;
            EXPECT_EQ(p.firmwareBefore, "V5.12");
            EXPECT_EQ(p.firmwareAfter, "V5.20");
            EXPECT_EQ(p.bytesSent, kImageSize + 1);
        }
        // A record for each printer that reached Flash Printer NOW, with the
        // run's id.
        const bool recorded =
            c.outcome == Outcome::Verified || c.outcome == Outcome::Mismatch || c.leftInFlashMode;
        size_t records = 0;
        for (const HistoryEntry& e : history.entries) {
            if (e.record.address != w.printers[i]->endpoint.text()) continue;
            ++records;
            EXPECT_EQ(e.record.fleet, "f1ee7f1ee7f1ee70");
            EXPECT_EQ(e.record.imageSize, kImageSize);
            const std::string_view written =
                e.record.outcome ? platform::verifyOutcomeName(*e.record.outcome) : "";
            EXPECT_EQ(written, fleet::outcomeName(c.outcome));
        }
        EXPECT_EQ(records, recorded ? 1u : 0u) << c.name;
    }
    EXPECT_EQ(r.summary.exitCode, 1);
    EXPECT_EQ(r.fleet->localCalls(), 0u) << "a fleet world used a local device or queue";
    EXPECT_EQ(w.inhibitor.holders(), 0);
    const std::string text = ui::formatFleetSummary(r.summary, 1.0);
    EXPECT_NE(text.find("May be left in flash mode: " + w.printers[6]->endpoint.text() + " " +
                        w.printers[10]->endpoint.text()),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Nothing is retried by itself."), std::string::npos);
}

// Each printer's pauses on its own clock, in a run of ten, are those of a
// run of one: time in one world does not leak into another's.
TEST(FleetRun, TenPrintersKeepTheTimelineOfOne) {
    const Bytes image = imageBytes(20000);
    fleet::FleetSettings settings;
    settings.canary = 0;
    std::vector<uint32_t> alone;
    {
        FleetTestWorld w({printer()});
        const FleetOutcome r = runFleet(w, w.image(image), settings);
        ASSERT_EQ(r.summary.exitCode, 0);
        alone = w.printers[0]->clock.clock.pauses();
    }
    ASSERT_FALSE(alone.empty());
    FleetTestWorld w(std::vector<std::optional<PrinterConfig>>(10, printer()), kFirstAddress + 20);
    const FleetOutcome r = runFleet(w, w.image(image), settings);
    EXPECT_EQ(r.summary.exitCode, 0);
    for (const auto& p : w.printers)
        EXPECT_EQ(p->clock.clock.pauses(), alone) << p->endpoint.text();
}

TEST(FleetRun, RulesStopStartingPrinters) {
    PrinterConfig bad = printer();
    bad.flashReadyMissing = true;
    struct Case {
        const char* name;
        std::vector<std::optional<PrinterConfig>> printers;
        size_t canary;
        size_t maxFailures;
        fleet::StopRule rule;
        std::vector<Outcome> outcomes;
    };
    const std::vector<Case> cases = {
        {"the canary fails",
         {bad, printer(), printer()},
         1,
         0,
         fleet::StopRule::Canary,
         {Outcome::Failed, Outcome::Untouched, Outcome::Untouched}},
        {"the canary passes",
         {printer(), bad, printer()},
         1,
         0,
         fleet::StopRule::None,
         {Outcome::Verified, Outcome::Failed, Outcome::Verified}},
        {"two failures at most",
         {bad, bad, printer(), printer()},
         0,
         2,
         fleet::StopRule::MaxFailures,
         {Outcome::Failed, Outcome::Failed, Outcome::Untouched, Outcome::Untouched}},
    };
    uint32_t first = kFirstAddress + 40;
    for (const Case& c : cases) {
        FleetTestWorld w(c.printers, first);
        first += 10;
        fleet::FleetSettings settings;
        settings.parallel = 1;
        settings.canary = c.canary;
        settings.maxFailures = c.maxFailures;
        const FleetOutcome r = runFleet(w, w.image(imageBytes(8192)), settings);
        EXPECT_EQ(r.summary.stop.rule, c.rule) << c.name;
        for (size_t i = 0; i < c.outcomes.size(); ++i) {
            EXPECT_EQ(r.summary.printers[i].outcome, c.outcomes[i]) << c.name << " #" << i;
        }
        EXPECT_EQ(r.summary.untouched.size(),
                  static_cast<size_t>(
                      std::count(c.outcomes.begin(), c.outcomes.end(), Outcome::Untouched)))
            << c.name;
        EXPECT_EQ(r.summary.exitCode, 1) << c.name;
    }
}

// A stop request while a printer is in flash mode: it finishes, no other
// starts, and the run's code is 128 + the signal.
TEST(FleetRun, StopRequestLetsTheFlashUnderWayFinish) {
    FleetTestWorld w({printer(), printer(), printer()}, kFirstAddress + 80);
    fleet::FleetSettings settings;
    settings.parallel = 1;
    settings.canary = 0;
    const FleetOutcome r = runFleet(w, w.image(imageBytes(8192)), settings, [&](fleet::Fleet& f) {
        w.realInhibitor.onEvent([&f](const auto& e) {
            if (e.acquire) f.requestStop(fleet::StopCause::signal(15, "SIGTERM"));
        });
    });
    EXPECT_EQ(r.summary.printers[0].outcome, Outcome::Verified);
    EXPECT_EQ(r.summary.printers[1].outcome, Outcome::Untouched);
    EXPECT_EQ(r.summary.printers[2].outcome, Outcome::Untouched);
    EXPECT_EQ(r.summary.exitCode, 128 + 15);
    EXPECT_EQ(r.summary.stop.rule, fleet::StopRule::Signal);
    EXPECT_EQ(r.summary.printers[1].detail, "not started: Stopped by SIGTERM");
}

// A stop while the run identifies its printers, slow to answer: each
// identification is cut, none is asked into flash mode, none is recorded,
// and the run ends without waiting for their replies.
TEST(FleetRun, StopDuringIdentificationStartsNoPrinter) {
    FleetTestWorld w(std::vector<std::optional<PrinterConfig>>(6, printer()), kFirstAddress + 100);
    fleet::FleetSettings settings;
    settings.canary = 0;
    fleet::Fleet f(w.shared(), w.endpoints(), settings);
    f.scan();
    f.plan(w.image(imageBytes(8192)));
    ASSERT_EQ(f.plannedFlashes(), 6u);
    w.network.setBounds({2000, 60000, 2000});
    std::vector<uint64_t> heard;
    for (auto& p : w.printers) {
        p->server->setReplyDelay(60000);
        heard.push_back(p->server->bytesReceived());
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread run([&] { f.run("5709570957095709"); });
    // Every printer has the run's ID request and sits on its answer.
    for (size_t i = 0; i < w.printers.size(); ++i) {
        EXPECT_TRUE(
            w.printers[i]->server->waitForBytesReceived(heard[i] + 1, std::chrono::seconds(10)));
    }
    EXPECT_EQ(f.requestStop(fleet::StopCause::signal(2, "SIGINT")), 0u);
    run.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    const fleet::FleetSummary summary = fleet::summarize(f);
    for (size_t i = 0; i < w.printers.size(); ++i) {
        EXPECT_EQ(summary.printers[i].outcome, Outcome::Untouched) << i;
        EXPECT_EQ(summary.printers[i].detail, "not started: Stopped by SIGINT") << i;
        EXPECT_EQ(w.printers[i]->model->flashSummary().flashes, 0u) << i;
    }
    EXPECT_EQ(summary.exitCode, 130);
    EXPECT_EQ(w.history.content(), "");
}

// The machine stays awake until the last holder lets go.
TEST(FleetRun, CountingInhibitorReleasesWithTheLastHolder) {
    platform::sim::RecordingSleepInhibitor real;
    fleet::CountingInhibitor counting(real);
    ASSERT_TRUE(counting.acquire("kvflash", "a"));
    ASSERT_TRUE(counting.acquire("kvflash", "b"));
    counting.release();
    EXPECT_TRUE(real.held());
    counting.release();
    EXPECT_FALSE(real.held());
    EXPECT_EQ(real.events().size(), 2u);
}

// Output that blocks holds only the renderer: the run ends meanwhile.
TEST(FleetRun, BlockedOutputDoesNotHoldTheFlash) {
    FleetTestWorld w({printer(), printer()}, kFirstAddress + 90);
    fleet::FleetSettings settings;
    settings.canary = 0;
    fleet::Fleet f(w.shared(), w.endpoints(), settings);
    f.scan();
    f.plan(w.image(imageBytes(8192)));
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::string written;
    ui::FleetRenderer renderer(f, ui::FleetRenderer::Mode::Lines, [&](const std::string& s) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return release; });
        written += s;
    });
    renderer.start(1);
    f.run("0123456789abcdef");
    EXPECT_EQ(fleet::summarize(f).exitCode, 0);
    {
        std::lock_guard lock(m);
        EXPECT_TRUE(written.empty());
        release = true;
    }
    cv.notify_all();
    renderer.stop();
    EXPECT_NE(written.find("fleet " + w.printers[0]->endpoint.text() + " verified \""),
              std::string::npos)
        << written;
    EXPECT_NE(written.find(" sending \"Programming 8 KBytes\""), std::string::npos) << written;
}

TEST(FleetOutput, JsonAndLinesSurviveHostileDeviceText) {
    fleet::PrinterSnapshot p;
    p.endpoint = {kFirstAddress, 10001};
    p.model = "ZOW\xff\xfe";
    p.detail = "line\nbreak \"quoted\"";
    p.outcome = Outcome::Failed;
    p.phase = fleet::Phase::Done;
    const std::string json = ui::fleetJsonLine(p);
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_NE(json.find("\"address\":\"127.0.0.2:10001\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"outcome\":\"failed\""), std::string::npos) << json;
    EXPECT_EQ(ui::fleetEventLine(p.endpoint, {fleet::Phase::Done, Outcome::Failed, p.detail}),
              "fleet 127.0.0.2:10001 failed \"line\\nbreak \\\"quoted\\\"\"");
    const std::string row = ui::fleetRow(p);
    EXPECT_EQ(row.find('\n'), std::string::npos);
    EXPECT_NE(row.find("ZOW\\xff\\xfe"), std::string::npos) << row;
}

}  // namespace
}  // namespace kv::fleettest
