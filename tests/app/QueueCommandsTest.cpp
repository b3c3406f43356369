#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <future>
#include <optional>
#include <sstream>
#include <thread>

#include "app/QueueCommands.h"
#include "platform/sim/ManualTermination.h"
#include "spooler/PortRedirection.h"
#include "spooler/QueueJournal.h"
#include "tests/flash/LocalFlashWorld.h"
#include "tests/support/HostPlatform.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using platform::QueueRecord;

QueueRecord uriQueue(std::string name, const std::string& uri, std::string driver,
                     uint32_t status = 0, uint32_t attributes = 0) {
    QueueRecord r;
    r.printerName = std::move(name);
    r.location = uri;
    r.portName = platform::portForDeviceUri(uri);
    r.driverName = std::move(driver);
    r.status = status;
    r.attributes = attributes;
    return r;
}

// The maintenance commands' world: simulated spooler and journal, and the
// host's instance lock in a folder of its own.
struct CommandWorld : testing::SimWorld {
    CommandWorld() { useHostInstanceLock(lockFolder.str()); }
    testing::TempDir lockFolder;
};

TEST(ListQueues, OneLinePerQueueWithWhatASwitchWouldDo) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("kv", "usb://KV/ZOW3004F?serial=1", "KV ZOW3004F PT"));
    w.spooler.addQueue(uriQueue("lpt", "parallel:/dev/lp2", "KV ZOR22G"));
    w.spooler.addQueue(uriQueue("net", "ipp://server/printers/USB_KV", "KV ZOW3004F PT"));
    w.spooler.addQueue(uriQueue("off", "usb://KV/A", "KV ZOR38", platform::kPrinterStatusOffline));
    w.spooler.addQueue(
        uriQueue("stop", "usb://KV/B", "KV ZOR38", 0, platform::kPrinterAttributeWorkOffline));
    w.spooler.addQueue(uriQueue("excl", "usb://KV/C", "KV ZOR12A"));
    w.spooler.addQueue(uriQueue("acme", "usb://Acme/D", "Acme LaserJet 9"));
    w.spooler.addQueue(uriQueue("left", "file:/dev/null", "KV ZOR38"));
    w.journal.setContent(formatJournal({{"left", "USB://KV/E", "usb://KV/E", true}}));

    std::ostringstream out;
    EXPECT_EQ(listQueues(w.sys, out), 0);
    EXPECT_EQ(
        out.str(),
        "kv\tUSB://KV/ZOW3004F?serial=1\tusb://KV/ZOW3004F?serial=1\tKV ZOW3004F PT\theld: "
        "moved to FILE: while a KV printer is worked on\n"
        "lpt\tLPT3:\tparallel:/dev/lp2\tKV ZOR22G\theld: moved to FILE: while a KV printer is "
        "worked on\n"
        "net\tipp://server/printers/usb_kv\tipp://server/printers/USB_KV\tKV ZOW3004F "
        "PT\tkept: not USB or parallel\n"
        "off\tUSB://KV/A\tusb://KV/A\tKV ZOR38\tkept: offline\n"
        "stop\tUSB://KV/B\tusb://KV/B\tKV ZOR38\tkept: stopped or not accepting jobs\n"
        "excl\tUSB://KV/C\tusb://KV/C\tKV ZOR12A\tkept: excluded driver\n"
        "acme\tUSB://Acme/D\tusb://Acme/D\tAcme LaserJet 9\tkept: not a KV driver\n"
        "left\tFILE:\tfile:/dev/null\tKV ZOR38\tswitched by an earlier run from usb://KV/E "
        "(kvflash --restore-queues puts it back)\n");
}

TEST(ListQueues, SaysWhyThereIsNoList) {
    CommandWorld w;
    std::ostringstream empty;
    EXPECT_EQ(listQueues(w.sys, empty), 0);
    EXPECT_EQ(empty.str(), "No print queues.\n");

    w.spooler.setUnreachable(true);
    std::ostringstream out;
    EXPECT_EQ(listQueues(w.sys, out), 1);
    EXPECT_EQ(out.str(), "No print queues: the simulated spooler is not reachable\n");
}

TEST(RestoreQueues, ReportsEachQueueAndTheExitCodeSaysWhetherAnyIsLeft) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("a", "file:/dev/null", "KV ZOR38"));
    w.spooler.addQueue(uriQueue("b", "file:/dev/null", "KV ZOR38"));
    w.spooler.setRefuseSet("b");
    w.journal.setContent(formatJournal({{"a", "USB://KV/A", "usb://KV/A", true},
                                        {"b", "LPT1:", "parallel:/dev/lp0", true},
                                        {"gone", "LPT2:", "parallel:/dev/lp1", true}}));
    std::ostringstream first;
    EXPECT_EQ(restoreQueues(w.sys, first), 1);
    EXPECT_EQ(first.str(),
              "a: restored to usb://KV/A\n"
              "b: could not be restored to parallel:/dev/lp0: change refused by a test switch\n"
              "gone: no longer exists\n"
              "1 print queue(s) still switched; the journal memory:journal keeps them.\n");
    EXPECT_EQ(w.spooler.queue("a")->location, "usb://KV/A");

    w.spooler.setRefuseSet("b", false);
    std::ostringstream second;
    EXPECT_EQ(restoreQueues(w.sys, second), 0);
    EXPECT_EQ(second.str(),
              "b: restored to parallel:/dev/lp0\n"
              "All print queues are back; the journal memory:journal has been "
              "removed.\n");

    std::ostringstream third;
    EXPECT_EQ(restoreQueues(w.sys, third), 0);
    EXPECT_EQ(third.str(), "No print queues are left switched (no journal at memory:journal).\n");
}

// Every queue is back but the journal stays: the command says so and fails
// rather than claiming all is done.
TEST(RestoreQueues, AJournalThatCannotBeRemovedIsReportedAndFailsTheCommand) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("a", "file:/dev/null", "KV ZOR38"));
    const std::string text = formatJournal({{"a", "USB://KV/A", "usb://KV/A", true}});
    w.journal.setContent(text);
    w.journal.setFailRemove(true);
    std::ostringstream out;
    EXPECT_EQ(restoreQueues(w.sys, out), 1);
    EXPECT_EQ(out.str(),
              "a: restored to usb://KV/A\n"
              "The journal memory:journal could not be removed.\n");
    EXPECT_EQ(w.spooler.queue("a")->location, "usb://KV/A");
    EXPECT_EQ(w.journal.content(), text);
}

// Once a signal has closed it, the journal is written no more: a restore
// cut short keeps every entry it did not finish, as it was.
TEST(RestoreQueues, AClosedJournalIsNotWrittenAgain) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("a", "file:/dev/null", "KV ZOR38"));
    const std::string text = formatJournal({{"a", "USB://KV/A", "usb://KV/A", true}});
    w.journal.setContent(text);
    GatedJournal gated(w.journal);
    w.sys.wired.queueJournal = &gated;
    gated.close();

    std::ostringstream out;
    EXPECT_EQ(restoreQueues(w.sys, out), 1);
    EXPECT_EQ(w.journal.content(), text);
    EXPECT_EQ(w.journal.history(), std::vector<std::string>{});
    EXPECT_FALSE(gated.replace("anything"));
    EXPECT_EQ(w.journal.content(), text);
}

// Held by a running copy, or not to be tried at all: either way another
// tool may be using the queues.
TEST(RestoreQueues, LeavesTheQueuesOfARunningCopyAlone) {
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held);
        CommandWorld w;
        w.spooler.addQueue(uriQueue("a", "file:/dev/null", "KV ZOR38"));
        const std::string text = formatJournal({{"a", "USB://KV/A", "usb://KV/A", true}});
        w.journal.setContent(text);
        const auto running = testing::makeHostInstanceLock(w.lockFolder.str());
        if (held) {
            const auto taken = running->create();
            ASSERT_TRUE(taken && *taken == platform::LockState::Taken) << taken.reason();
        } else {
            w.simLock.answer = platform::Failure{"cannot open /run/lock/KV_TOOLS: I/O error"};
            w.sys.wired.instanceLock = &w.simLock;
        }

        std::ostringstream out;
        EXPECT_EQ(restoreQueues(w.sys, out), 1);
        EXPECT_EQ(out.str(),
                  held ? "Another KV tool is running; its print queues stay as they are. Try "
                         "again when it has ended.\n"
                       : "The print queues stay as they are (cannot take the instance lock: "
                         "cannot open /run/lock/KV_TOOLS: I/O error).\n");
        EXPECT_EQ(w.spooler.queue("a")->location, "file:/dev/null");
        EXPECT_EQ(w.journal.content(), text);
    }
}

TEST(RestoreQueues, UnreadableJournalChangesNothing) {
    CommandWorld w;
    w.journal.setContent("garbage");
    std::ostringstream out;
    EXPECT_EQ(restoreQueues(w.sys, out), 1);
    EXPECT_EQ(out.str(), "The journal memory:journal could not be read; nothing was changed.\n");
}

TEST(Termination, RestoresTheQueuesThenEndsWithTheSignalsCode) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("kv", "usb://KV/A", "KV ZOW3004F PT"));
    w.spooler.addQueue(uriQueue("kv2", "usb://KV/B", "KV ZOW3004F PT"));
    Context ctx{w.state, w.sys};
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state));
    w.spooler.setFailOpen("kv2");

    platform::sim::ManualTermination signals;
    std::optional<int> exitCode;
    restoreQueuesOnTermination(ctx, signals, [&](int code) { exitCode = code; });
    ASSERT_TRUE(signals.deliver(SIGTERM));

    EXPECT_EQ(exitCode, 128 + SIGTERM);
    EXPECT_EQ(w.spooler.queue("kv")->location, "usb://KV/A");
    EXPECT_FALSE(w.state.portsMoved);
    // The restore's boxes never reach the front end.
    EXPECT_TRUE(w.ui.boxes().empty());
    EXPECT_TRUE(
        w.trace.contains("Box while ending: SetPortToFile - Could not open printer kv2, "
                         "(Win7 ignore)\r\n"));
    EXPECT_TRUE(w.trace.contains("Signal 15 - restoring print queues before ending\r\n"));
    // The switched queue that failed stays in the journal for the next start.
    EXPECT_EQ(parseJournal(w.journal.content().value_or("")),
              (std::vector<JournalEntry>{{"kv2", "USB://KV/B", "usb://KV/B", true}}));
    // A refresh still running after the signal switches nothing.
    EXPECT_TRUE(SetPortsToFile(w.sys, w.state));
    EXPECT_EQ(w.spooler.queue("kv")->location, "usb://KV/A");
}

// A real Ctrl+C (SIGINT; Wine raises no Ctrl+Break) while another thread
// keeps switching and restoring: the restore waits for the pass in
// progress, and nothing is switched after it.
TEST(Termination, RealSignalWhileAnotherThreadSwitches) {
    if (const auto why = testing::missingHostTermination()) GTEST_SKIP() << *why;
    const auto signals = testing::makeHostTerminationSignals();  // before any other thread
    CommandWorld w;
    w.spooler.addQueue(uriQueue("kv", "usb://KV/A", "KV ZOW3004F PT"));
    Context ctx{w.state, w.sys};
    std::promise<int> ended;
    restoreQueuesOnTermination(ctx, *signals, [&](int code) { ended.set_value(code); });

    std::atomic<bool> stop{false};
    std::atomic<int> passes{0};
    std::thread refresher([&] {
        while (!stop) {
            EXPECT_TRUE(SetPortsToFile(w.sys, w.state));
            RestorePortsToOriginal(w.sys, w.state);
            EXPECT_TRUE(SetPortsToFile(w.sys, w.state));
            ++passes;
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (passes < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    testing::requestHostTermination(SIGINT);
    auto code = ended.get_future();
    const bool delivered = code.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    stop = true;
    refresher.join();
    signals->stop();

    ASSERT_TRUE(delivered);
    EXPECT_EQ(code.get(), 128 + SIGINT);
    EXPECT_EQ(w.spooler.queue("kv")->location, "usb://KV/A");
    EXPECT_FALSE(w.spooler.held("kv"));
    EXPECT_FALSE(w.journal.content().has_value());
}

// The entry gives the services their front end only after the watcher
// runs: a signal handled meanwhile must not read those fields (the thread
// sanitizer sees it).
TEST(Termination, FrontEndMayBeSetWhileASignalIsHandled) {
    CommandWorld w;
    w.spooler.addQueue(uriQueue("kv", "usb://KV/A", "KV ZOW3004F PT"));
    Context ctx{w.state, w.sys};
    ASSERT_TRUE(SetPortsToFile(w.sys, w.state));
    w.sys.wired.ui = nullptr;
    platform::sim::ManualTermination signals;
    std::promise<int> ended;
    restoreQueuesOnTermination(ctx, signals, [&](int code) { ended.set_value(code); });

    std::thread watcher([&] { signals.deliver(SIGINT); });
    w.sys.wired.ui = &w.ui;
    w.sys.wired.controls = nullptr;
    watcher.join();

    EXPECT_EQ(ended.get_future().get(), 128 + SIGINT);
    EXPECT_EQ(w.spooler.queue("kv")->location, "usb://KV/A");
    EXPECT_TRUE(w.ui.boxes().empty());
}

// A local flash that meets requests to end the program in its start delay;
// what the program's ends found: their codes, and the flash record and the
// print queues as they were at the first.
struct FlashMeetsEndRequests {
    testing::LocalFlashWorld w;
    std::mutex mutex;
    std::condition_variable changed;
    int refusals = 0;
    std::vector<int> codes;
    bool recordEnded = false;
    bool queuesBack = false;

    FlashMeetsEndRequests(platform::TerminationSignals& signals, bool refuse,
                          std::function<void()> inStartDelay) {
        emulator::PrinterConfig c;
        c.link = emulator::LinkKind::Usb;
        c.deviceId = testing::kZowId;
        w.attach(c);
        w.image(testing::imageBytes(20000, "V5.20"), "FMVQ_V5.20.bin");
        w.find();
        const auto noted = [this](const std::function<void()>& note) {
            std::lock_guard lock(mutex);
            note();
            changed.notify_all();
        };
        std::function<void()> refusal;
        if (refuse) refusal = [=, this] { noted([this] { ++refusals; }); };
        restoreQueuesOnTermination(
            w.ctx, signals,
            [=, this](int code) {
                noted([&] {
                    if (codes.empty()) {
                        recordEnded = w.history.content().find("\"ended\"") != std::string::npos;
                        queuesBack = w.queuesBack();
                    }
                    codes.push_back(code);
                });
            },
            refusal);
        w.hooked.setHook(
            [inStartDelay, once = true](auto, platform::Control, const std::string& text) mutable {
                if (!once || text.rfind("Delaying", 0) != 0) return;
                once = false;
                inStartDelay();
            });
    }
    bool waitFor(const std::function<bool()>& condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), condition);
    }
};

// A real Ctrl+C (SIGINT) while the printer is in flash mode is refused as
// the window's Exit is; the flash goes on to its verdict, record and
// queues, and then the program ends with 128 + SIGINT. A second one ends
// it at once, the record started only, the queues put back.
TEST(Termination, RealCtrlCInFlashModeWaitsForTheFlashsEnd) {
    if (const auto why = testing::missingHostTermination()) GTEST_SKIP() << *why;
    const auto signals = testing::makeHostTerminationSignals();  // before any other thread
    for (const int requests : {1, 2}) {
        SCOPED_TRACE(requests);
        std::unique_ptr<FlashMeetsEndRequests> f;
        f = std::make_unique<FlashMeetsEndRequests>(*signals, true, [&] {
            testing::requestHostTermination(SIGINT);
            ASSERT_TRUE(f->waitFor([&] { return f->refusals == 1; }));
            if (requests == 1) return;
            testing::requestHostTermination(SIGINT);
            ASSERT_TRUE(f->waitFor([&] { return !f->codes.empty(); }));
        });
        const platform::StopWatchingAtEnd stopWatching(*signals);
        const auto outcome = f->w.flash();
        ASSERT_TRUE(outcome.started && outcome.ended);
        std::lock_guard lock(f->mutex);
        EXPECT_EQ(f->refusals, 1);
        EXPECT_EQ(f->codes, std::vector<int>{128 + SIGINT});
        EXPECT_TRUE(f->queuesBack);
        EXPECT_EQ(f->recordEnded, requests == 1) << f->w.history.content();
    }
}

// What ends the program at once even in flash mode: a request the system
// will not let wait (a closed console), whether the front end can say why
// it would wait (the terminal) or not (the window).
TEST(Termination, WhatCannotWaitEndsAFlashAtOnce) {
    for (const bool refuse : {true, false}) {
        SCOPED_TRACE(refuse);
        platform::sim::ManualTermination signals;
        std::unique_ptr<FlashMeetsEndRequests> f;
        f = std::make_unique<FlashMeetsEndRequests>(signals, refuse, [&] {
            signals.deliver(SIGTERM, /*canWait=*/false);
            // Ended before the request returned.
            std::lock_guard lock(f->mutex);
            EXPECT_EQ(f->codes, std::vector<int>{128 + SIGTERM});
        });
        ASSERT_TRUE(f->w.flash().ended);
        signals.stop();
        std::lock_guard lock(f->mutex);
        EXPECT_EQ(f->refusals, 0);
        EXPECT_EQ(f->codes.size(), 1u);
        EXPECT_TRUE(f->queuesBack);
        EXPECT_FALSE(f->recordEnded);
    }
}

TEST(SimulatedSpooler, DefaultWorldHasAKvQueueOnUsbAndAnotherQueue) {
    platform::sim::MemorySpooler spooler(platform::sim::MemorySpooler::defaultWorld());
    const auto queues = *spooler.enumerateLocal();
    ASSERT_EQ(queues.size(), 2u);
    EXPECT_EQ(queues[0].driverName, "KV ZOW3004F PT");
    EXPECT_EQ(classifyQueue(queues[0]), QueueVerdict::Switch);
    EXPECT_EQ(classifyQueue(queues[1]), QueueVerdict::NotKvDriver);
}

}  // namespace
}  // namespace kv
