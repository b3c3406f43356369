// The redirection against a real CUPS scheduler of its own (see CupsWorld).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/linux/LinuxDurableFile.h"
#include "tests/support/linux/ChildProcess.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/ScriptedUi.h"
#include "spooler/PortRedirection.h"
#include "spooler/QueueJournal.h"
#include "tests/spooler/linux/CupsWorld.h"
#include "tests/support/Files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using platform::linux_impl::LinuxDurableFile;
using platform::linux_impl::CupsSpooler;
using testing::CupsWorld;
using testing::readFile;
using testing::run;

const std::string kKvUsbUri = "usb://KV/ZOW3004F%20PT?serial=1001";

const std::map<std::string, std::string> kDevices = {
    {"acme_usb", "usb://Acme/LaserJet%209?serial=2002"},
    {"excluded_usb", "usb://KV/ZOR12A?serial=3003"},
    {"kv_lpt", "parallel:/dev/lp0"},
    {"kv_net", "socket://192.0.2.7:9100"},
    {"kv_usb", kKvUsbUri},
    {"paused_usb", "usb://KV/ZOW3004F?serial=4004"},
    {"raw_usb", "usb://KV/Raw?serial=5005"},
    {"rejecting_lpt", "parallel:/dev/lp1"},
};

bool onCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

std::string trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

fs::path selfPath() { return fs::read_symlink("/proc/self/exe"); }

std::string kvflashPath() {
    if (const char* build = std::getenv("KVFLASH_BUILD_DIR"); build && *build) {
        return std::string(build) + "/bin/kvflash";
    }
    return (selfPath().parent_path().parent_path() / "bin/kvflash").string();
}

class RealCups : public ::testing::Test {
protected:
    static std::unique_ptr<CupsWorld>& world() {
        static std::unique_ptr<CupsWorld> w;
        return w;
    }
    static std::string& missing() {
        static std::string m;
        return m;
    }

    // One scheduler for every test of this program.
    static void SetUpTestSuite() {
        if (auto why = CupsWorld::missingTools()) {
            missing() = *why;
            return;
        }
        world() = std::make_unique<CupsWorld>();
    }
    static void TearDownTestSuite() { world().reset(); }

    void SetUp() override {
        if (!missing().empty()) {
            if (onCi()) FAIL() << "CI=true and no CUPS scheduler to test against: " << missing();
            GTEST_SKIP() << "Skipping the tests on a real CUPS: " << missing();
        }
        ASSERT_TRUE(world()->running()) << world()->startError();
        world()->resetQueues();
        w = world().get();
        stateDir = w->root() + "/kvstate-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(stateDir);
        fs::create_directories(stateDir);
        journal = std::make_unique<LinuxDurableFile>(stateDir + "/print-queues.journal");
        spooler = std::make_unique<CupsSpooler>(w->socket(), 10000);
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.spooler = spooler.get();
        sys.wired.queueJournal = journal.get();
    }

    std::map<std::string, std::string> devicesAsLpstatShowsThem(
        std::map<std::string, std::string> devices) {
        for (auto& [name, uri] : devices) {
            // lpstat leaves the scheme of file: devices out.
            if (uri.rfind("file:", 0) == 0) uri = uri.substr(5);
        }
        return devices;
    }

    // Starts the helper that switches the queues and waits to be killed;
    // returns its process id once the switch is done.
    std::string startSwitchingHelper() {
        const std::string marker = stateDir + "/helper-switched";
        fs::remove(marker);
        const testing::RunResult started = run(
            std::string(KVTEST_HELPER) + " switch-queues " + w->socket() + " " +
            journal->location() + " " + marker + " >" + stateDir + "-helper.log 2>&1 & echo $!");
        const std::string pid = started.out.substr(0, started.out.find('\n'));
        EXPECT_FALSE(pid.empty());
        EXPECT_TRUE(w->waitForFile(marker, 20)) << readFile(stateDir + "-helper.log");
        return pid;
    }

    // kvflash on this scheduler, with a journal folder and an instance-lock
    // folder of its own (so no other test's copy holds the lock).
    // The terminal is what these runs mean, whatever display the suite was
    // started from.
    std::string kvflash(const std::string& arguments) const {
        return w->env() + "KVFLASH_STATE_DIR=" + stateDir + " KVFLASH_LOCK_DIR=" + stateDir + " " +
               testing::kWithoutDisplay + kvflashPath() + " " + arguments;
    }

    void killHard(const std::string& pid) {
        run("kill -KILL " + pid + "; while kill -0 " + pid +
                " 2>/dev/null && ! grep -q ') Z' /proc/" + pid +
                "/stat 2>/dev/null; do sleep 0.01; done",
            10);
    }

    void expectAllBack() {
        EXPECT_EQ(w->devices(), kDevices);
        for (const char* q : {"kv_usb", "kv_lpt"}) {
            const auto s = w->ipp(q);
            EXPECT_EQ(s.state, "idle") << q;
            EXPECT_TRUE(s.accepting) << q;
        }
        const auto paused = w->ipp("paused_usb");
        EXPECT_EQ(paused.state, "stopped");
        EXPECT_EQ(paused.message, "Paused by the technician");
        EXPECT_FALSE(w->ipp("rejecting_lpt").accepting);
        EXPECT_FALSE(journal->exists());
    }

    CupsWorld* w = nullptr;
    std::string stateDir;
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    std::unique_ptr<LinuxDurableFile> journal;
    std::unique_ptr<CupsSpooler> spooler;
    platform::Services sys;
    SpoolerState state;
    PrinterState printer;
};

TEST_F(RealCups, QueuesReadAsRecords) {
    const auto listed = spooler->enumerateLocal();
    ASSERT_TRUE(listed) << listed.reason();
    std::map<std::string, platform::QueueRecord> byName;
    for (const auto& q : *listed) byName[q.printerName] = q;
    ASSERT_EQ(byName.size(), kDevices.size());
    for (const auto& [name, uri] : kDevices) EXPECT_EQ(byName[name].location, uri);

    EXPECT_EQ(byName["kv_usb"].portName, "USB://KV/ZOW3004F%20PT?serial=1001");
    EXPECT_EQ(byName["kv_usb"].driverName, "KV ZOW3004F PT");
    EXPECT_EQ(byName["kv_usb"].attributes, 0u);
    EXPECT_EQ(byName["kv_lpt"].portName, "LPT1:");
    EXPECT_EQ(byName["kv_lpt"].driverName, "KV ZOR12A PT");
    EXPECT_EQ(byName["rejecting_lpt"].portName, "LPT2:");
    EXPECT_EQ(byName["rejecting_lpt"].attributes, platform::kPrinterAttributeWorkOffline);
    EXPECT_EQ(byName["paused_usb"].attributes, platform::kPrinterAttributeWorkOffline);
    EXPECT_EQ(byName["kv_net"].portName, "socket://192.0.2.7:9100");
    EXPECT_EQ(byName["raw_usb"].driverName, "Local Raw Printer");
    EXPECT_EQ(byName["excluded_usb"].driverName, "KV ZOR12A");

    const auto missing = spooler->open("no_such_queue");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.reason().empty());
}

TEST_F(RealCups, SwitchesExactlyTheKvLocalQueuesAndRestoresEveryOne) {
    ASSERT_EQ(w->devices(), kDevices);

    ASSERT_TRUE(SetPortsToFile(sys, state, printer));
    EXPECT_TRUE(ui.boxes().empty()) << ui.boxTexts().front();
    std::map<std::string, std::string> switched = kDevices;
    switched["kv_usb"] = "file:/dev/null";
    switched["kv_lpt"] = "file:/dev/null";
    EXPECT_EQ(w->devices(), devicesAsLpstatShowsThem(switched));
    for (const char* q : {"kv_usb", "kv_lpt"}) {
        const auto s = w->ipp(q);
        EXPECT_EQ(s.state, "stopped") << q;
        EXPECT_EQ(s.message, CupsSpooler::kHoldMessage) << q;
        EXPECT_EQ(s.uri, "file:/dev/null") << q;
        EXPECT_TRUE(s.accepting) << q;
    }
    for (const char* q : {"acme_usb", "excluded_usb", "kv_net", "raw_usb"}) {
        EXPECT_EQ(w->ipp(q).state, "idle") << q;
    }
    EXPECT_EQ(w->ipp("paused_usb").message, "Paused by the technician");
    // Listed by name, so the last queue switched is kv_usb.
    EXPECT_EQ(printer.parallelPortName, "USB://KV/ZOW3004F%20PT?serial=1001");
    const auto entries = parseJournal(journal->read().value_or(""));
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(*entries, (std::vector<JournalEntry>{
                            {"kv_lpt", "LPT1:", "parallel:/dev/lp0", true},
                            {"kv_usb", "USB://KV/ZOW3004F%20PT?serial=1001", kKvUsbUri, true}}));

    RestorePortsToOriginal(sys, state);
    EXPECT_TRUE(ui.boxes().empty());
    expectAllBack();
}

TEST_F(RealCups, AQueuePausedBySomeoneElseStaysPausedAfterTheRestore) {
    platform::QueueRecord record;
    const auto listed = spooler->enumerateLocal();
    ASSERT_TRUE(listed) << listed.reason();
    for (const auto& q : *listed) {
        if (q.printerName == "paused_usb") record = q;
    }
    const platform::QueueRecord saved = record;
    SetPortToFile(sys, record, true, true);
    EXPECT_EQ(w->ipp("paused_usb").uri, "file:/dev/null");
    platform::QueueRecord back = saved;
    SetPortToFile(sys, back, false, true);
    const auto s = w->ipp("paused_usb");
    EXPECT_EQ(s.uri, "usb://KV/ZOW3004F?serial=4004");
    EXPECT_EQ(s.state, "stopped");
    EXPECT_EQ(s.message, "Paused by the technician");
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(RealCups, APortWithoutItsDeviceIsRefused) {
    platform::QueueRecord record;
    const auto listed = spooler->enumerateLocal();
    ASSERT_TRUE(listed) << listed.reason();
    for (const auto& q : *listed) {
        if (q.printerName == "kv_usb") record = q;
    }
    record.portName = "LPT3:";
    SetPortToFile(sys, record, false, true);
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{"SetPrinter - kv_usb failed, (Win7 ignore)"}));
    EXPECT_EQ(w->ipp("kv_usb").uri, kKvUsbUri);
}

TEST_F(RealCups, AJobSentWhileSwitchedIsHeldThenPrintedToTheRestoredDevice) {
    ASSERT_TRUE(SetPortsToFile(sys, state, printer));
    const std::string job = w->root() + "/job.txt";
    std::ofstream(job) << "ticket sent while switched\n";
    ASSERT_EQ(run(w->env() + "lp -d kv_usb -o raw " + job).code, 0);
    EXPECT_EQ(w->pendingJobs("kv_usb").size(), 1u);
    EXPECT_FALSE(fs::exists(w->outFile("kv_usb")));

    RestorePortsToOriginal(sys, state);
    ASSERT_TRUE(w->waitForFile(w->outFile("kv_usb")));
    EXPECT_EQ(readFile(w->outFile("kv_usb")),
              "URI=" + kKvUsbUri + "\nticket sent while switched\n");
}

// Without the pause before the switch, CUPS would send the job being printed
// to file:/dev/null.
TEST_F(RealCups, AJobPrintingDuringTheSwitchIsPrintedAfterTheRestore) {
    const std::string block = w->root() + "/out/kv_usb.block";
    std::ofstream(block) << "wait\n";
    const std::string job = w->root() + "/job.txt";
    std::ofstream(job) << "ticket printing during the switch\n";
    ASSERT_EQ(run(w->env() + "lp -d kv_usb -o raw " + job).code, 0);
    ASSERT_TRUE(w->waitForFile(w->root() + "/out/kv_usb.started", 10));

    ASSERT_TRUE(SetPortsToFile(sys, state, printer));
    EXPECT_EQ(w->ipp("kv_usb").uri, "file:/dev/null");
    EXPECT_EQ(w->ipp("kv_usb").state, "stopped");
    EXPECT_EQ(w->pendingJobs("kv_usb").size(), 1u);
    fs::remove(block);
    EXPECT_FALSE(fs::exists(w->outFile("kv_usb")));

    RestorePortsToOriginal(sys, state);
    ASSERT_TRUE(w->waitForFile(w->outFile("kv_usb")))
        << run(w->env() + "lpstat -W all -o kv_usb; lpstat -p kv_usb -l; tail -30 " + w->root() +
               "/log/error_log")
               .out;
    EXPECT_EQ(readFile(w->outFile("kv_usb")),
              "URI=" + kKvUsbUri + "\nticket printing during the switch\n");
}

TEST_F(RealCups, KilledBetweenSwitchAndRestoreTheNextStartOrTheCommandRestores) {
    if (trim(run("id -u").out) != "0") GTEST_SKIP() << "kvflash starts only as root";
    ASSERT_TRUE(fs::exists(kvflashPath())) << "build kvflash first: " << kvflashPath();
    killHard(startSwitchingHelper());

    ASSERT_TRUE(journal->exists());
    EXPECT_EQ(w->ipp("kv_usb").uri, "file:/dev/null");
    EXPECT_EQ(w->ipp("kv_lpt").state, "stopped");

    const auto list = run(kvflash("--list-queues"));
    EXPECT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("kv_usb\tFILE:\tfile:/dev/null\tKV ZOW3004F PT\tswitched by an earlier "
                            "run from " +
                            kKvUsbUri + " (kvflash --restore-queues puts it back)\n"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("kv_net\tsocket://192.0.2.7:9100\tsocket://192.0.2.7:9100\tKV ZOW3004F "
                            "PT\tkept: not USB or parallel\n"),
              std::string::npos)
        << list.out;

    const auto start = run(kvflash("--console"));
    EXPECT_EQ(start.code, 0) << start.out << start.err;
    EXPECT_NE(start.out.find("box - \"Print queues left switched by an earlier run have been "
                             "restored\""),
              std::string::npos)
        << start.out << start.err;
    expectAllBack();

    // And once more, put back by the maintenance command this time.
    killHard(startSwitchingHelper());
    ASSERT_TRUE(journal->exists());

    const std::string command = kvflash("--restore-queues");
    const auto first = run(command);
    EXPECT_EQ(first.code, 0) << first.out << first.err;
    EXPECT_EQ(first.out,
              "kv_lpt: restored to parallel:/dev/lp0\n"
              "kv_usb: restored to " +
                  kKvUsbUri +
                  "\n"
                  "All print queues are back; the journal " +
                  journal->location() + " has been removed.\n");
    expectAllBack();

    const auto second = run(command);
    EXPECT_EQ(second.code, 0);
    EXPECT_EQ(second.out,
              "No print queues are left switched (no journal at " + journal->location() + ").\n");
}

TEST(CupsUnreachable, CountsAsNoQueuesAndNothingIsSwitched) {
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    CupsSpooler spooler("/nonexistent/kvflash-test/cups.sock", 2000);
    platform::Services sys;
    sys.wired.trace = &trace;
    sys.wired.ui = &ui;
    sys.wired.spooler = &spooler;
    SpoolerState state;
    PrinterState printer;

    EXPECT_TRUE(SetPortsToFile(sys, state, printer));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kNoPrinterDriverText}));
    EXPECT_TRUE(
        trace.contains("EnumeratePrinters - the print scheduler at "
                       "/nonexistent/kvflash-test/cups.sock cannot be reached\r\n"));
    EXPECT_TRUE(state.portsMoved);
    EXPECT_FALSE(spooler.open("kv_usb"));
    RestorePortsToOriginal(sys, state);
    EXPECT_FALSE(state.portsMoved);
}

}  // namespace
}  // namespace kv
