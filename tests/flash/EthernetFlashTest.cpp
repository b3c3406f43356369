#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "flash/LocalFlash.h"
#include "tests/flash/EthernetFlashWorld.h"

namespace kv::ethtest {
namespace {

using platform::Control;
using Kind = platform::sim::RecordingDialogControls::Kind;

std::vector<std::string> secondsElapsed(int count) {
    std::vector<std::string> out;
    for (int n = 0; n < count; ++n) out.push_back(std::to_string(n) + " seconds elapsed");
    return out;
}

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Pauses of an Ethernet flash that runs to its end, from the ready check
// before flash mode to the re-probe.
std::vector<uint32_t> fullFlashPauses() {
    std::vector<uint32_t> p = {200, 500, 100, 500, 1000};
    p.insert(p.end(), 15, 1000);
    p.push_back(1000);
    p.insert(p.end(), 25, 1000);
    p.insert(p.end(), {300, 200});
    return p;
}

TEST(EthernetFlash, OddImageIsPaddedAndTheWholeRoadIsAsWritten) {
    EthernetFlashWorld w;
    ASSERT_TRUE(w.find());
    const Bytes image = imageBytes(8193, "V5.13");
    w.writeImage(image);
    w.clock.clearPauses();
    w.controls.clearEvents();
    w.trace.clear();
    const size_t receivedBefore = w.model.received().size();

    ASSERT_TRUE(w.flash());

    // The printer took every byte of the file and one 0xFF, not 8192.
    Bytes padded = image;
    padded.push_back(0xFF);
    EXPECT_EQ(w.model.flashImage(), padded);
    const Bytes all = w.model.received();
    Bytes expectedWire = bytesOf("<SS>\x1B*FR<SA15>");
    expectedWire.insert(expectedWire.end(), padded.begin(), padded.end());
    const Bytes tail = bytesOf("<SA08><SS>");
    expectedWire.insert(expectedWire.end(), tail.begin(), tail.end());
    EXPECT_EQ(Bytes(all.begin() + static_cast<ptrdiff_t>(receivedBefore), all.end()), expectedWire)
        << "no programming command, nothing else on the wire";

    EXPECT_EQ(w.statusTexts(),
              (std::vector<std::string>{"Printer responding", "Delaying 15 seconds",
                                        "Programming 8 KBytes", "Waiting for reset",
                                        "Progamming complete"}));
    EXPECT_EQ(w.stateTexts(),
              concat({secondsElapsed(15),
                      {"8 KBytes programmed\r\n", "8 KBytes programmed\r\n", "End Of File"},
                      secondsElapsed(25),
                      {" "}}));
    EXPECT_EQ(w.clock.pauses(), fullFlashPauses());

    // The re-probe found the printer with its new firmware.
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready");
    EXPECT_EQ(w.controls.text(Control::currentVersionText), "V5.13");
    EXPECT_EQ(w.state.printerData.firmwareVersion, "V5.13");
    EXPECT_EQ(w.state.activePortType, PORT_TYPE_ETHERNET);
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_TRUE(w.queuesRestored());
    EXPECT_TRUE(w.ui.boxes().empty());
    // The flash connection is left open, as it always was; the re-probe's is closed.
    EXPECT_EQ(w.network.openCount(), 1u);

    // Every program text came from the worker, not from this (the UI) thread.
    const auto self = std::this_thread::get_id();
    bool sawWorker = false;
    for (const auto& e : w.controls.events()) {
        if (e.kind != Kind::Text) continue;
        if (e.control == Control::programStateText) {
            EXPECT_NE(e.thread, self) << e.text;
            sawWorker = true;
        }
        if (e.control == Control::programStatusText && e.text != "Printer responding") {
            EXPECT_NE(e.thread, self) << e.text;
        }
    }
    EXPECT_TRUE(sawWorker);
    ASSERT_EQ(w.threads.optionsAsked().size(), 1u);
    EXPECT_GE(w.threads.optionsAsked()[0].stackBytes, 1024u * 1024u);
    EXPECT_TRUE(w.threads.optionsAsked()[0].aboveNormalPriority);

    const auto lines = w.trace.lines();
    for (const char* line :
         {"Attempting to program flash via Ethernet", "Created socket for flash programming",
          "Success writing [esc]FR to printer", "Success writing <SA15> to printer",
          "Success reading after <SA15> written to printer"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Entered flash reprogramming mode"), 2);
}

TEST(EthernetFlash, ImageSizesBlocksAndProgramTexts) {
    struct Case {
        size_t size;
        size_t sent;  // bytes on the wire
        std::string programming;
        std::vector<std::string> programmed;
    };
    const std::vector<Case> cases = {
        {16384,
         16384,
         "Programming 16 KBytes",
         {"8 KBytes programmed\r\n", "16 KBytes programmed\r\n"}},
        {8192, 8192, "Programming 8 KBytes", {"8 KBytes programmed\r\n"}},
        {24575,
         24576,
         "Programming 24 KBytes",
         {"8 KBytes programmed\r\n", "16 KBytes programmed\r\n", "24 KBytes programmed\r\n"}},
        {0, 0, "Programming 0 KBytes", {}},
        // Padded to two bytes: one block, still 0 KBytes.
        {1, 2, "Programming 0 KBytes", {"0 KBytes programmed\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EthernetFlashWorld w;
        ASSERT_TRUE(w.find());
        const Bytes image = imageBytes(c.size, "V6.00");
        w.writeImage(image);
        ASSERT_TRUE(w.flash());

        Bytes expected = image;
        expected.resize(c.sent, 0xFF);
        EXPECT_EQ(w.model.flashImage(), expected);
        EXPECT_EQ(w.statusTexts(), (std::vector<std::string>{
                                       "Printer responding", "Delaying 15 seconds", c.programming,
                                       "Waiting for reset", "Progamming complete"}));
        EXPECT_EQ(
            w.stateTexts(),
            concat({secondsElapsed(15), c.programmed, {"End Of File"}, secondsElapsed(25), {" "}}));
        // The data phase in numbers: bytes of the padded length.
        using platform::TransferPhase;
        std::vector<platform::TransferProgress> data{{TransferPhase::Data, 0, c.sent}};
        for (size_t sent = 8192; sent < c.sent + 8192; sent += 8192)
            data.push_back({TransferPhase::Data, std::min(sent, c.sent), c.sent});
        data.push_back({TransferPhase::Data, c.sent, c.sent});
        std::vector<platform::TransferProgress> numbers;
        for (const auto& p : w.controls.progress())
            if (p.phase == TransferPhase::Data) numbers.push_back(p);
        EXPECT_EQ(numbers, data);
        EXPECT_EQ(w.controls.progress().front(),
                  (platform::TransferProgress{TransferPhase::StartDelay, 0, 15}));
        EXPECT_EQ(w.controls.progress().back(), platform::TransferProgress{});
        EXPECT_FALSE(w.state.flashInProgress);
        EXPECT_TRUE(w.queuesRestored());
        EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer ready");
    }
}

TEST(EthernetFlash, Zor1PrinterGetsTheSameRequests) {
    emulator::PrinterConfig c;
    c.deviceId = "MFG:KV;CMD:FGL;MDL:ZOR12A;CLS:PRINTER;FWV:V1.05(0)GAP_PR;";
    c.zor1Family = true;  // no difference over TCP
    EthernetFlashWorld w(c);
    ASSERT_TRUE(w.find());
    ASSERT_TRUE(w.state.printerData.isZor1Family);
    const Bytes image = imageBytes(20000, "V1.06(0)GAP_PR");
    w.writeImage(image);
    const size_t before = w.model.received().size();
    ASSERT_TRUE(w.flash());

    const Bytes all = w.model.received();
    const Bytes head(all.begin() + static_cast<ptrdiff_t>(before),
                     all.begin() + static_cast<ptrdiff_t>(before) + 14);
    EXPECT_EQ(head, bytesOf("<SS>\x1B*FR<SA15>"));
    EXPECT_EQ(w.model.flashImage(), image) << "the image itself, no programming command";
    EXPECT_EQ(w.statusTexts()[1], "Delaying 15 seconds");
    EXPECT_EQ(w.controls.text(Control::currentVersionText), "V1.06(0)");
}

TEST(EthernetFlash, FlashReadyAnywhereInALongerReply) {
    for (const std::string reply :
         {"\x06<SA15>: FLASH READY - send the image now\r\n", "FLASH READY", "xxFLASH READY"}) {
        emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
        c.flashReadyText = reply;
        EthernetFlashWorld w(c);
        ASSERT_TRUE(w.find());
        w.writeImage(imageBytes(100));
        EXPECT_TRUE(w.flash()) << reply;
        EXPECT_EQ(w.model.flashImage().size(), 100u);
    }
    // Near misses are refused.
    for (const std::string reply : {"FLASH  READY", "flash ready", "FLASH READ"}) {
        emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
        c.flashReadyText = reply;
        EthernetFlashWorld w(c);
        ASSERT_TRUE(w.find());
        w.writeImage(imageBytes(100));
        EXPECT_FALSE(w.flash()) << reply;
        EXPECT_EQ(w.boxTexts(),
                  std::vector<std::string>{"Failed to entered flash programming mode"});
        EXPECT_TRUE(w.queuesRestored());
    }
}

TEST(EthernetFlash, SameVersionQuestion) {
    struct Case {
        std::string imageVersion;
        bool asked;
        bool yes;
        bool flashed;
        std::string deviceId = EthernetFlashWorld::defaultPrinter().deviceId;
    };
    // The printer reports V5.12 unless told.
    const std::vector<Case> cases = {
        {"V5.12", true, true, true},
        {"V5.12", true, false, false},
        // Contained in the printer's version, but not as a whole token.
        {"5.1", false, false, true},
        {"V5.1", false, false, true},
        {"V5.13", false, false, true},
        {"", false, false, true},  // no version in the image: nothing to compare
        // A ZOR1 printer shows "V1.05(0)" and reports the whole value.
        {"V1.05(0)GAP_PR", true, false, false, "MFG:KV;MDL:ZOR12A;FWV:V1.05(0)GAP_PR;"},
        {"V1.05(0)GAP", false, false, true, "MFG:KV;MDL:ZOR12A;FWV:V1.05(0)GAP_PR;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.imageVersion + (c.yes ? " yes" : " no"));
        emulator::PrinterConfig printer = EthernetFlashWorld::defaultPrinter();
        printer.deviceId = c.deviceId;
        EthernetFlashWorld w(printer);
        ASSERT_TRUE(w.find());
        w.writeImage(imageBytes(4096, c.imageVersion));
        w.ui.queueAnswer(c.yes);
        w.trace.clear();
        EXPECT_EQ(w.flash(), c.flashed);

        const auto boxes = w.ui.boxes();
        ASSERT_EQ(boxes.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(boxes[0].caption, std::optional<std::string>("Firmware update"));
            EXPECT_EQ(boxes[0].text, "New version same as old version, continue?");
            EXPECT_EQ(boxes[0].buttons, platform::BoxButtons::YesNo);
        }
        EXPECT_FALSE(w.state.flashInProgress);
        EXPECT_TRUE(w.queuesRestored());
        if (!c.flashed) {
            // Asked after the connection was made, which No closes again.
            const auto lines = w.trace.lines();
            EXPECT_TRUE(hasLine(lines, "Created socket for flash programming"));
            EXPECT_TRUE(hasLine(lines, "closeSocket - Complete"));
            EXPECT_EQ(w.network.openCount(), 0u);
            EXPECT_EQ(w.model.flashSummary().flashes, 0u);
            EXPECT_TRUE(w.statusTexts().empty());
        } else {
            EXPECT_EQ(w.model.flashImage().size(), 4096u);
        }
    }
}

TEST(EthernetFlash, ShortSendsLoseNothing) {
    // The host's sends take at most 1000 bytes each (and the printer takes
    // 500 at a time behind them).
    emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
    c.writeLimit = 500;
    EthernetFlashWorld w(c);
    ASSERT_TRUE(w.find());
    platform::sim::FaultNetwork::Faults f;
    f.sendLimit = 1000;
    w.network.setFaults(f);
    const Bytes image = imageBytes(16384, "V5.20");
    w.writeImage(image);
    w.trace.clear();
    ASSERT_TRUE(w.flash());
    EXPECT_EQ(w.model.flashImage(), image);
    EXPECT_EQ(w.stateTexts()[15], "8 KBytes programmed\r\n");
    EXPECT_EQ(w.stateTexts()[16], "16 KBytes programmed\r\n");
    const auto lines = w.trace.lines();
    // 8192 = 8 sends of 1000 and one of 192, per block.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WriteFileEthernet - bytes sent = 1000"), 16);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WriteFileEthernet - bytes sent = 192"), 2);
    EXPECT_EQ(w.statusTexts().back(), "Progamming complete");
}

// Each fault: what the user saw, and that it ended cleanly.
TEST(EthernetFlash, FaultsEndWithTheirMessage) {
    struct Case {
        std::string name;
        std::function<void(emulator::PrinterConfig&)> printer;
        std::function<void(EthernetFlashWorld&)> before;  // after the find
        size_t imageSize;
        bool started;
        std::vector<std::string> boxes;
        std::string statusLine;  // the dialog's status line at the end
        std::string lastProgramStatus;
    };
    const std::string notReady = "ZOW3004F printer is NOT ready, resolve and try again  ETHERNET";
    const auto refuseSends = [](int passing) {
        return [passing](EthernetFlashWorld& w) {
            platform::sim::FaultNetwork::Faults f;
            f.sendsBeforeFailure = passing;
            w.network.setFaults(f);
        };
    };
    const std::vector<Case> cases = {
        {"not ready",
         [](auto& c) { c.statusByte3 = 0x80; },
         nullptr,
         100,
         false,
         {notReady},
         "Found Printer - Printer NOT ready",
         ""},
        {"busy",
         [](auto& c) { c.statusByte4 = 0x20; },
         nullptr,
         100,
         false,
         {notReady},
         "Found Printer - Printer NOT ready",
         ""},
        {"no FLASH READY",
         [](auto& c) { c.flashReadyMissing = true; },
         nullptr,
         100,
         false,
         {"Failed to entered flash programming mode"},
         "Found Printer - Printer ready",
         "Printer responding"},
        {"silent after ESC *FR",
         [](auto& c) { c.silentAfterFlashRequest = true; },
         nullptr,
         100,
         false,
         {"Could not read status back after writing <SA15>"},
         "Found Printer - Printer ready",
         "Printer responding"},
        {"ESC *FR not sent",
         nullptr,
         refuseSends(1),
         100,
         false,
         {"Error writing [esc]FR to printer"},
         "Found Printer - Printer ready",
         "Printer responding"},
        {"<SA15> not sent",
         nullptr,
         refuseSends(2),
         100,
         false,
         {"Error writing <SA15> to printer"},
         "Found Printer - Printer ready",
         "Printer responding"},
        // The network stays broken, so the re-probe cannot send either.
        {"block send fails",
         nullptr,
         refuseSends(3),
         100,
         true,
         {"Write error = Dec = 10055, Hex = 2747", "Can't get printer ID"},
         "Found Printer - Printer NOT ready",
         "Programming 0 KBytes"},
        // One block gets one send bound in all, however many sends it
        // takes: 1000 bytes at a time, each using 150 of its 1000 ms.
        {"block outlasts its send bound",
         nullptr,
         [](EthernetFlashWorld& w) {
             platform::sim::FaultNetwork::Faults f;
             f.sendLimit = 1000;
             f.sendCostMs = 150;
             f.errorCode = 10060;
             w.network.setFaults(f);
         },
         16384,
         true,
         {"Write error = Dec = 10060, Hex = 274C", "Can't get printer ID"},
         "Found Printer - Printer NOT ready",
         "Programming 16 KBytes"},
        {"never comes back",
         [](auto& c) { c.neverComesBack = true; },
         nullptr,
         100,
         true,
         {"Can't get printer ID"},
         "Found Printer - Printer NOT ready",
         "Progamming complete"},
        {"thread does not start",
         nullptr,
         [](EthernetFlashWorld& w) { w.threads.setFailStarts(true); },
         100,
         false,
         {"Flash update thread did not start"},
         "Found Printer - Printer ready",
         "Printer responding"},
        {"connection refused",
         nullptr,
         [](EthernetFlashWorld& w) {
             platform::sim::FaultNetwork::Faults f;
             f.connectFails = true;
             w.network.setFaults(f);
         },
         100,
         false,
         {},
         "Found Printer - Printer ready",
         ""},
        {"image file missing",
         nullptr,
         [](EthernetFlashWorld& w) { w.state.firmwareFileName = w.dir.file("gone.bin"); },
         100,
         false,
         {},
         "Found Printer - Printer ready",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emulator::PrinterConfig config = EthernetFlashWorld::defaultPrinter();
        if (c.printer) c.printer(config);
        EthernetFlashWorld w(config);
        // Short bounds, so a silent printer costs little real time.
        w.network.setBounds({1000, 300, 1000});
        w.find();
        w.ui.clear();
        w.writeImage(imageBytes(c.imageSize, "V5.30"));
        if (c.before) c.before(w);

        const auto began = std::chrono::steady_clock::now();
        EXPECT_EQ(w.flash(), c.started);
        const auto took = std::chrono::steady_clock::now() - began;
        EXPECT_LT(took, std::chrono::seconds(5)) << "no wait beyond its bound";

        if (c.name == "block outlasts its send bound") {
            EXPECT_EQ(w.model.flashImage().size(), 6000u) << "six sends fit in the bound";
        }
        if (c.name == "image file missing") {
            ASSERT_EQ(w.boxTexts().size(), 1u);
            EXPECT_EQ(w.boxTexts()[0].rfind("Could not read the firmware file ", 0), 0u);
        } else {
            EXPECT_EQ(w.boxTexts(), c.boxes);
        }
        EXPECT_FALSE(w.state.flashInProgress);
        EXPECT_TRUE(w.queuesRestored());
        EXPECT_EQ(w.controls.text(Control::statusText), c.statusLine);
        const auto status = w.statusTexts();
        EXPECT_EQ(status.empty() ? std::string() : status.back(), c.lastProgramStatus);
        if (c.started && c.name != "never comes back") {
            const auto states = w.stateTexts();
            EXPECT_EQ(std::count(states.begin(), states.end(), "End Of File"), 0)
                << "no reset wait after a failed send";
        }
    }
}

TEST(EthernetFlash, ConnectionDroppedMidImage) {
    // The printer drops the link after 3 blocks; the image is large enough
    // that the host is still sending when the drop reaches it.
    emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
    c.dropAfterImageBytes = 3 * 8192;
    EthernetFlashWorld w(c);
    w.network.setBounds({1000, 1000, 1000});
    ASSERT_TRUE(w.find());
    w.writeImage(imageBytes(16 * 1024 * 1024, "V5.40"));
    ASSERT_TRUE(w.flash());

    const auto boxes = w.boxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind("Write error = Dec = ", 0), 0u) << boxes[0];
    EXPECT_EQ(boxes[1], "Can't get printer ID") << "the printer is resetting at the re-probe";
    EXPECT_EQ(w.model.flashImage().size(), 3u * 8192u);
    EXPECT_TRUE(w.model.flashSummary().incomplete);
    EXPECT_EQ(w.statusTexts().back(), "Programming 16384 KBytes");
    EXPECT_EQ(w.controls.text(Control::statusText), "Found Printer - Printer NOT ready");
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_TRUE(w.queuesRestored());
    // The printer kept its old firmware.
    w.clock.advanceMs(60000);
    w.ui.clear();
    EXPECT_TRUE(w.find());
    EXPECT_EQ(w.state.printerData.firmwareVersion, "V5.12");
}

TEST(EthernetFlash, ReprobeBeforeThePrinterIsBack) {
    // A printer that takes longer to reset than the host waits: the re-probe
    // finds it away, and a later search finds it with the new version.
    emulator::PrinterConfig c = EthernetFlashWorld::defaultPrinter();
    c.resetMs = 60000;
    EthernetFlashWorld w(c);
    ASSERT_TRUE(w.find());
    w.writeImage(imageBytes(9000, "V5.50"));
    ASSERT_TRUE(w.flash());
    EXPECT_EQ(w.statusTexts().back(), "Progamming complete");
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"Can't get printer ID"});
    w.clock.advanceMs(60000);
    EXPECT_TRUE(w.find());
    EXPECT_EQ(w.state.printerData.firmwareVersion, "V5.50");
}

// Records, for every change, whether a flash was in progress and whether
// the queues were back, at that moment.
class WatchingControls final : public platform::DialogControls {
public:
    struct Seen {
        std::string text;
        bool flashInProgress;
        bool queuesBack;
    };
    explicit WatchingControls(EthernetFlashWorld& w) : w_(w) {}
    void setText(Control control, const std::string& text) override {
        if (control == Control::statusText) {
            std::lock_guard lock(mutex_);
            seen_.push_back({text, w_.state.flashInProgress.load(), w_.queuesRestored()});
        }
        w_.controls.setText(control, text);
    }
    void enable(Control control, bool on) override { w_.controls.enable(control, on); }
    void show(Control control, bool on) override { w_.controls.show(control, on); }
    std::vector<Seen> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    EthernetFlashWorld& w_;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};

TEST(EthernetFlash, FlagClearedOnlyAfterQueuesAndReprobe) {
    EthernetFlashWorld w;
    ASSERT_TRUE(w.find());
    w.writeImage(imageBytes(100));
    WatchingControls watching(w);
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state));
    ASSERT_TRUE(flashPrinterNowEthernet(w.ctx, watching, w.state.printerData));
    ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());

    const auto seen = watching.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Probing for printers - Operation may take up to 30 seconds");
    EXPECT_EQ(seen[1].text, "Found Printer - Printer ready");
    for (const auto& s : seen) {
        EXPECT_TRUE(s.flashInProgress) << s.text << ": the flag still set during the re-probe";
        EXPECT_TRUE(s.queuesBack) << s.text << ": the queues back before the re-probe";
    }
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_EQ(w.state.workerSignal.endedCount(), 1u);
}

TEST(EthernetFlash, ThroughFlashPrinterNowAsTheDialogCallsIt) {
    // No local printer was counted; the printer was found over Ethernet.
    EthernetFlashWorld w;
    w.state.printerCount = 0;
    ASSERT_TRUE(w.find());
    const Bytes image = imageBytes(10000, "V5.60");
    w.writeImage(image);

    ASSERT_TRUE(FlashPrinterNow(w.ctx, w.controls, w.state.printerData));
    ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());
    // The re-probe first shows its box for the missing local printer, as it
    // always has; then the Ethernet road runs.
    EXPECT_EQ(w.boxTexts(),
              std::vector<std::string>{
                  "refreshPrinterData - Did not find connected KV printer, may be Ethernet "
                  "connected"});
    EXPECT_EQ(w.model.flashImage(), image);
    EXPECT_EQ(w.statusTexts().back(), "Progamming complete");
    EXPECT_EQ(w.state.printerData.firmwareVersion, "V5.60");
    EXPECT_FALSE(w.state.flashInProgress);
    EXPECT_TRUE(w.queuesRestored());
    // The same file again: the printer has that version now, so it asks.
    w.ui.clear();
    w.ui.queueAnswer(true);
    ASSERT_TRUE(FlashPrinterNow(w.ctx, w.controls, w.state.printerData));
    ASSERT_TRUE(w.state.workerSignal.waitForWorkerEnd());
    ASSERT_EQ(w.boxTexts().size(), 2u);
    EXPECT_EQ(w.boxTexts()[1], "New version same as old version, continue?");
    EXPECT_EQ(w.model.flashSummary().flashes, 2u);
}

}  // namespace
}  // namespace kv::ethtest
