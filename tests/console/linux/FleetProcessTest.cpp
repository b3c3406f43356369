// kvflash --scan and --fleet as a site runs them: the real program against
// real kvprinter-emu processes on loopback addresses, in real time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/Sha256.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using kv::testing::ChildProcess;

std::string buildDir() {
    const char* build = std::getenv("KVFLASH_BUILD_DIR");
    return build ? build : "";
}

// A kvprinter-emu on 127.0.0.N and a free port of its own.
struct EmulatedPrinter {
    EmulatedPrinter(const std::string& address, std::vector<std::string> faults,
                    const std::string& folder) {
        std::vector<std::string> arguments{"--listen", address + ":0"};
        arguments.insert(arguments.end(), faults.begin(), faults.end());
        process = std::make_unique<ChildProcess>(buildDir() + "/bin/kvprinter-emu", arguments,
                                                 std::map<std::string, std::string>{}, folder);
        // Its first line is the port it took; waitFor is the bounded pause.
        for (int i = 0; i < 500 && process->out().find('\n') == std::string::npos; ++i) {
            if (process->waitFor(20ms)) return;
        }
        const std::string out = process->out();
        if (out.find('\n') != std::string::npos) target = address + ":" + out.substr(0, out.find('\n'));
    }
    // Its exit summary.
    std::string stop() {
        process->signal(SIGTERM);
        (void)process->waitFor(10s);
        return process->out();
    }
    std::unique_ptr<ChildProcess> process;
    std::string target;
};

struct FleetRun {
    explicit FleetRun(std::vector<std::string> arguments, ChildProcess::Output output =
                                                              ChildProcess::Output::File)
        : kvflash(buildDir() + "/bin/kvflash", arguments,
                  {{"KVFLASH_STATE_DIR", dir.path().string()},
                   {"KVFLASH_LOCK_DIR", dir.path().string()}},
                  dir.path().string(), output) {}
    kv::testing::TempDir dir;
    ChildProcess kvflash;
};

std::string demoImage() { return buildDir() + "/demo/FMVQ_V5.20.bin"; }

std::string demoSha256() { return kv::sha256Hex(kv::testing::readAll(demoImage())); }

TEST(FleetProcess, ThreePrintersInRealTimeWithTheirOwnEnds) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    EmulatedPrinter good1("127.0.0.31", {}, dir.path().string());
    EmulatedPrinter good2("127.0.0.32", {}, dir.path().string());
    EmulatedPrinter dropped("127.0.0.33", {"--drop-image-after", "30000"}, dir.path().string());
    ASSERT_FALSE(good1.target.empty() || good2.target.empty() || dropped.target.empty());

    FleetRun scan({"--scan", good1.target, good2.target, dropped.target, "127.0.0.34:1"});
    ASSERT_EQ(scan.kvflash.waitFor(20s), 0) << scan.kvflash.err();
    const std::string table = scan.kvflash.out();
    const size_t row = table.find("\n" + good1.target + " ");
    ASSERT_NE(row, std::string::npos) << table;
    EXPECT_NE(table.substr(row, table.find('\n', row + 1) - row).find("ZOW3004F     V5.12 "),
              std::string::npos)
        << table;
    EXPECT_NE(scan.kvflash.out().find("3 printers found; 1 addresses refused"), std::string::npos);

    FleetRun run({"--fleet", good1.target, good2.target, dropped.target, "--image", demoImage(),
                  "--yes", "--canary", "0", "--json"});
    const auto code = run.kvflash.waitFor(120s);
    ASSERT_TRUE(code) << "still running";
    EXPECT_EQ(*code, 1) << run.kvflash.err();
    const std::string json = run.kvflash.out();
    for (const auto& [p, outcomes] :
         {std::pair{&good1, "verified"}, {&good2, "verified"}, {&dropped, "mismatch failed"}}) {
        const size_t at = json.find("{\"address\":\"" + p->target + "\",\"model\":\"ZOW3004F\","
                                    "\"firmware_before\":\"V5.12\"");
        ASSERT_NE(at, std::string::npos) << json;
        const std::string line = json.substr(at, json.find('\n', at) - at);
        const size_t outcome = line.find("\"outcome\":\"") + 11;
        // A dropped link is seen by the host's send or by the verdict.
        EXPECT_NE(std::string(outcomes).find(line.substr(outcome, line.find('"', outcome) - outcome)),
                  std::string::npos)
            << line;
    }
    EXPECT_NE(run.kvflash.err().find("fleet " + good1.target + " verified \""), std::string::npos);
    EXPECT_NE(run.kvflash.err().find("Summary: 2 verified"), std::string::npos)
        << run.kvflash.err();
    const std::string image = demoSha256();
    EXPECT_NE(good1.stop().find("flash-mode SHA-256: " + image), std::string::npos);
    EXPECT_NE(good2.stop().find("flash-mode SHA-256: " + image), std::string::npos);
    EXPECT_NE(dropped.stop().find("(cut off)"), std::string::npos);
}

// The first signal lets the flash under way finish and starts no other;
// a second ends the run at once, its record left started only.
TEST(FleetProcess, SignalsStopStartingThenEndAtOnce) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    for (const int signals : {1, 2}) {
        SCOPED_TRACE(signals);
        kv::testing::TempDir dir;
        std::vector<std::unique_ptr<EmulatedPrinter>> printers;
        std::vector<std::string> arguments{"--fleet"};
        for (int i = 0; i < 3; ++i) {
            printers.push_back(std::make_unique<EmulatedPrinter>(
                "127.0.0." + std::to_string(41 + 3 * signals + i), std::vector<std::string>{},
                dir.path().string()));
            arguments.push_back(printers.back()->target);
        }
        for (const char* a : {"--image", "", "--yes", "--parallel", "1", "--canary", "0"}) {
            arguments.push_back(*a ? a : demoImage());
        }
        FleetRun run(arguments, ChildProcess::Output::Pipe);
        ASSERT_TRUE(run.kvflash.readOutUntil("fleet " + printers[0]->target + " start-delay", 30s))
            << run.kvflash.out();
        run.kvflash.signal(SIGTERM);
        if (signals == 2) {
            // Signals of one kind do not queue: the second after the first was taken.
            for (int i = 0; i < 500 && run.kvflash.err().find("no new printer") == std::string::npos;
                 ++i) {
                ASSERT_FALSE(run.kvflash.waitFor(20ms));
            }
            run.kvflash.signal(SIGTERM);
        }
        const auto code = run.kvflash.waitFor(signals == 1 ? 90s : 5s);
        ASSERT_TRUE(code) << "still running";
        EXPECT_EQ(*code, 128 + SIGTERM) << run.kvflash.out();
        if (signals == 1) {
            EXPECT_NE(run.kvflash.out().find("fleet " + printers[0]->target + " verified"),
                      std::string::npos)
                << run.kvflash.out();
            EXPECT_NE(run.kvflash.out().find("Not started (left untouched): " +
                                             printers[1]->target + " " + printers[2]->target),
                      std::string::npos)
                << run.kvflash.out();
        } else {
            // Its record says it was cut off.
            ChildProcess history(buildDir() + "/bin/kvflash", {"--history"},
                                 {{"KVFLASH_STATE_DIR", run.dir.path().string()}},
                                 dir.path().string());
            ASSERT_EQ(history.waitFor(10s), 0);
            EXPECT_NE(history.out().find(printers[0]->target), std::string::npos);
            EXPECT_NE(history.out().find("interrupted: the printer may still be in flash mode"),
                      std::string::npos)
                << history.out();
        }
    }
}

TEST(FleetProcess, RefusalsEndWithTwoBeforeAnyFlash) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    EmulatedPrinter printer("127.0.0.51", {}, dir.path().string());
    const std::string unmarked = dir.file("FMVQ_plain.bin");
    kv::testing::writeAll(unmarked, std::vector<uint8_t>(4096, 0x5A));
    const struct {
        std::vector<std::string> arguments;
        const char* says;
    } cases[] = {
        {{"--fleet", printer.target, "--image", unmarked, "--yes"}, "no \"FWV:\" version marker"},
        {{"--fleet", printer.target, "--image", dir.file("missing.bin"), "--yes"},
         "cannot read the image"},
        {{"--fleet", "10.0.0.300", "--image", demoImage(), "--yes"}, "bad target \"10.0.0.300\""},
        {{"--scan", "127.0.0.1:70000"}, "bad target"},
        {{"--fleet", printer.target, "--image", demoImage()}, "without a terminal, --yes"},
        {{"--fleet", printer.target}, "--fleet needs --image"},
        {{"--scan", "127.0.0.1", "--parallel", "257"}, "--parallel needs a number up to 256"},
    };
    for (const auto& c : cases) {
        FleetRun run(c.arguments);
        EXPECT_EQ(run.kvflash.waitFor(20s), 2) << c.says;
        EXPECT_NE(run.kvflash.err().find(c.says), std::string::npos) << run.kvflash.err();
    }
    // Only the run refused for want of --yes got as far as identifying it.
    EXPECT_NE(printer.stop().find("connections served: 1\n"), std::string::npos);
}

}  // namespace
