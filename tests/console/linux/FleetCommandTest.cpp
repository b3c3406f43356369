// kvflash --scan and --fleet as a site runs them: the real program against
// real kvprinter-emu processes on loopback addresses, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/Sha256.h"
#include "platform/linux/FlockInstanceLock.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using kv::testing::ChildProcess;

using kv::testing::buildDir;
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
        if (out.find('\n') != std::string::npos)
            target = address + ":" + out.substr(0, out.find('\n'));
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

// A folder of trusted keys holding the demo key, which signed the demo image.
std::string demoKeyFolder(const kv::testing::TempDir& dir) {
    std::filesystem::create_directories(dir.path() / "keys");
    std::filesystem::copy_file(std::string(KVFLASH_SOURCE_DIR) + "/main/demo/demo-key.pub",
                               dir.path() / "keys" / "demo.pub",
                               std::filesystem::copy_options::overwrite_existing);
    return (dir.path() / "keys").string();
}

struct FleetRun {
    // The instance lock in `lockFolder`, or in a folder of its own; `keys`:
    // the KVFLASH_TRUSTED_KEYS folder, if any.
    explicit FleetRun(std::vector<std::string> arguments,
                      ChildProcess::Output output = ChildProcess::Output::File,
                      const std::string& lockFolder = {}, const std::string& keys = {})
        : kvflash(buildDir() + "/bin/kvflash", arguments,
                  {{"KVFLASH_STATE_DIR", dir.path().string()},
                   {"KVFLASH_LOCK_DIR", lockFolder.empty() ? dir.path().string() : lockFolder},
                   {"KVFLASH_TRUSTED_KEYS", keys}},
                  dir.path().string(), output) {}
    kv::testing::TempDir dir;
    ChildProcess kvflash;
};

std::string demoImage() { return buildDir() + "/demo/FMVQ_V5.20.bin"; }

std::string demoSha256() { return kv::sha256Hex(kv::testing::readAll(demoImage())); }

// The endpoint kvprinter-emu --fleet printed for `address`.
std::string endpointOf(const std::string& out, const std::string& address) {
    const std::string prefix = "listening " + address + ":";
    const size_t at = out.find(prefix);
    if (at == std::string::npos) return "";
    return out.substr(at + 10, out.find('\n', at + 10) - at - 10);
}

// Three printers of one kvprinter-emu --fleet, one of which drops the link
// mid-image: scanned, then flashed at once.
TEST(FleetCommand, ThreePrintersInRealTimeWithTheirOwnEnds) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    const std::string id = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
    ASSERT_TRUE(kv::testing::writeFile(
        dir.file("fleet.txt"), "127.0.0.31:0 " + id + "\n127.0.0.32:0 " + id + "\n127.0.0.33:0 " +
                                   id + " drop-image-after=30000\n"));
    ChildProcess emu(buildDir() + "/bin/kvprinter-emu", {"--fleet", dir.file("fleet.txt")}, {},
                     dir.path().string(), ChildProcess::Output::Pipe);
    ASSERT_TRUE(emu.readOutUntil("listening 127.0.0.33:", 10s)) << emu.err();
    std::vector<std::string> targets;
    for (const char* a : {"127.0.0.31", "127.0.0.32", "127.0.0.33"}) {
        targets.push_back(endpointOf(emu.out(), a));
        ASSERT_FALSE(targets.back().empty()) << emu.out();
    }

    FleetRun scan({"--scan", targets[0], targets[1], targets[2], "127.0.0.34:1"});
    ASSERT_EQ(scan.kvflash.waitFor(20s), 0) << scan.kvflash.err();
    const std::string table = scan.kvflash.out();
    const size_t row = table.find("\n" + targets[0] + " ");
    ASSERT_NE(row, std::string::npos) << table;
    EXPECT_NE(table.substr(row, table.find('\n', row + 1) - row).find("ZOW3004F V5.12 "),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("3 printers found; 1 address refused"), std::string::npos);

    // Signed, with its key trusted: the plan and each JSON line name it.
    FleetRun run({"--fleet", targets[0], targets[1], targets[2], "--image", demoImage(), "--yes",
                  "--canary", "0", "--json"},
                 ChildProcess::Output::File, {}, demoKeyFolder(dir));
    const auto code = run.kvflash.waitFor(120s);
    ASSERT_TRUE(code) << "still running";
    EXPECT_EQ(*code, 1) << run.kvflash.err();
    const std::string json = run.kvflash.out();
    const char* outcomes[] = {"verified", "verified", "mismatch failed"};
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = json.find("{\"address\":\"" + targets[i] +
                                    "\",\"model\":\"ZOW3004F\","
                                    "\"firmware_before\":\"V5.12\"");
        ASSERT_NE(at, std::string::npos) << json;
        const std::string line = json.substr(at, json.find('\n', at) - at);
        const size_t outcome = line.find("\"outcome\":\"") + 11;
        // A dropped link is seen by the host's send or by the verdict.
        EXPECT_NE(
            std::string(outcomes[i]).find(line.substr(outcome, line.find('"', outcome) - outcome)),
            std::string::npos)
            << line;
    }
    EXPECT_NE(
        json.find("\"signature_key\":\"4657CEF660F2F093\",\"trusted_comment\":\"kvflash demo"),
        std::string::npos)
        << json;
    EXPECT_NE(run.kvflash.err().find("Signed by 4657CEF660F2F093: \"kvflash demo image V5.20"),
              std::string::npos)
        << run.kvflash.err();
    EXPECT_NE(run.kvflash.err().find("fleet " + targets[0] + " verified \""), std::string::npos);
    EXPECT_NE(run.kvflash.err().find("Summary: 2 verified"), std::string::npos)
        << run.kvflash.err();
    emu.signal(SIGTERM);
    ASSERT_EQ(emu.waitFor(10s), 0) << emu.err();
    const std::string image = demoSha256();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_NE(emu.out().find("printer " + targets[i] + " "), std::string::npos) << emu.out();
    }
    size_t whole = 0;
    for (size_t at = emu.out().find("sha256=" + image); at != std::string::npos;
         at = emu.out().find("sha256=" + image, at + 1)) {
        ++whole;
    }
    EXPECT_EQ(whole, 2u) << emu.out();
    EXPECT_NE(emu.out().find("cut-off=yes"), std::string::npos) << emu.out();
}

// The first signal lets the flash under way finish and starts no other;
// a second ends the run at once, naming what it leaves in flash mode (its
// record left started only); a signal while the run identifies printers
// that answer slowly cuts them: none enters flash mode, and the run ends
// at once.
TEST(FleetCommand, SignalsStopStartingThenEndAtOnce) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    const struct {
        const char* name;
        int signal;
        int signals;
        size_t printers;
        std::vector<std::string> faults;
        const char* after;  // the line of the first printer the signal waits for
        std::chrono::seconds within;
    } cases[] = {
        {"in flash mode", SIGTERM, 1, 3, {}, " start-delay", 90s},
        {"twice", SIGTERM, 2, 3, {}, " start-delay", 5s},
        {"while identifying", SIGINT, 1, 6, {"--reply-delay", "1500"}, " identifying", 10s},
    };
    uint32_t address = 41;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kv::testing::TempDir dir;
        std::vector<std::unique_ptr<EmulatedPrinter>> printers;
        std::vector<std::string> arguments{"--fleet"};
        for (size_t i = 0; i < c.printers; ++i) {
            printers.push_back(std::make_unique<EmulatedPrinter>(
                "127.0.0." + std::to_string(address++), c.faults, dir.path().string()));
            arguments.push_back(printers.back()->target);
        }
        for (const char* a : {"--image", "", "--yes", "--canary", "0"}) {
            arguments.push_back(*a ? a : demoImage());
        }
        if (c.faults.empty()) arguments.insert(arguments.end(), {"--parallel", "1"});
        FleetRun run(arguments, ChildProcess::Output::Pipe);
        ASSERT_TRUE(run.kvflash.readOutUntil("fleet " + printers[0]->target + c.after, 60s))
            << run.kvflash.out() << run.kvflash.err();
        run.kvflash.signal(c.signal);
        if (c.signals == 2) {
            // Signals of one kind do not queue: the second after the first was taken.
            for (int i = 0; i < 500 && run.kvflash.err().find("Stopping: no new printer starts") ==
                                           std::string::npos;
                 ++i) {
                ASSERT_FALSE(run.kvflash.waitFor(20ms));
            }
            run.kvflash.signal(c.signal);
        }
        const auto code = run.kvflash.waitFor(c.within);
        ASSERT_TRUE(code) << "still running";
        EXPECT_EQ(*code, 128 + c.signal) << run.kvflash.out();
        const std::string out = run.kvflash.out();
        if (c.signals == 2) {
            EXPECT_NE(
                run.kvflash.err().find("kvflash: stopped at once; May be left in flash mode: " +
                                       printers[0]->target),
                std::string::npos)
                << run.kvflash.err();
            // Its record says it was cut off.
            ChildProcess history(buildDir() + "/bin/kvflash", {"--history"},
                                 {{"KVFLASH_STATE_DIR", run.dir.path().string()}},
                                 dir.path().string());
            ASSERT_EQ(history.waitFor(10s), 0);
            EXPECT_NE(history.out().find(printers[0]->target), std::string::npos);
            EXPECT_NE(history.out().find("interrupted: the printer may still be in flash mode"),
                      std::string::npos)
                << history.out();
            continue;
        }
        const bool firstFinishes = c.signal == SIGTERM;
        EXPECT_EQ(out.find("fleet " + printers[0]->target + " verified") != std::string::npos,
                  firstFinishes)
            << out;
        EXPECT_EQ(out.find(" flash-mode ") != std::string::npos, firstFinishes) << out;
        std::string untouched = "Not started (left untouched):";
        for (size_t i = firstFinishes ? 1 : 0; i < printers.size(); ++i)
            untouched += " " + printers[i]->target;
        EXPECT_NE(out.find(untouched), std::string::npos) << out;
        EXPECT_NE(out.find(c.signal == SIGINT ? "Stopped by SIGINT" : "Stopped by SIGTERM"),
                  std::string::npos)
            << out;
    }
}

// A network namespace of the test's own, made by unshare (no mount of
// /run/netns, so it works in a chroot too) and held by the shell that made
// it: 10.77.0.0/16 is local to it, nothing listens there (a reset), the
// printer port of 10.77.0.0/20 is dropped on arrival, as a site's unused
// addresses stay silent, and 10.99.0.0 has no route.
constexpr const char* kSiteUp = R"(set -e; ip link set lo up
ip route add local 10.77.0.0/16 dev lo
echo 'table inet site { chain input { type filter hook input priority 0;
  ip daddr 10.77.0.0/20 tcp dport 10001 drop; }; }' | nft -f -
echo "site $$"; echo up; exec sleep 600)";

// A shell command line; `site` runs a command inside the namespace.
std::unique_ptr<ChildProcess> shell(const std::string& command, const std::string& folder,
                                    ChildProcess::Output output = ChildProcess::Output::File) {
    return std::make_unique<ChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "PATH=$PATH:/usr/sbin:/sbin; " + command},
        std::map<std::string, std::string>{{"KVFLASH_STATE_DIR", folder},
                                           {"KVFLASH_LOCK_DIR", folder}},
        folder, output);
}

// --scan at a site: a /20 of silent addresses sweeps within 20 s at the
// default settings, and every address gets its reason.
TEST(FleetCommand, ScanTellsEveryReasonAndSweepsASilentSlash20) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    const std::string folder = dir.path().string();
    std::string missing;
    std::unique_ptr<ChildProcess> holder;
    if (::geteuid() != 0) {
        missing = "not root: a network namespace needs root";
    } else {
        // ip and nft: scripts/install-deps.sh --all
        holder = std::make_unique<ChildProcess>(
            "/usr/bin/unshare",
            std::vector<std::string>{"-n", "/bin/sh", "-c",
                                     std::string("PATH=$PATH:/usr/sbin:/sbin; ") + kSiteUp},
            std::map<std::string, std::string>{}, folder, ChildProcess::Output::Pipe);
        if (!holder->readOutUntil("up", 20s)) {
            missing = "cannot make a network namespace: " + holder->err();
        }
    }
    if (!missing.empty()) {
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true") FAIL() << missing;
        GTEST_SKIP() << missing;
    }
    const std::string pid = std::to_string(std::stoi(holder->out().substr(5)));
    const std::string site = "exec nsenter -t " + pid + " -n ";
    const std::string kv = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
    ASSERT_TRUE(kv::testing::writeFile(
        dir.file("fleet.txt"), "127.0.0.71:0 " + kv + "\n127.0.0.72:0 " + kv +
                                   " silent\n127.0.0.73:0 MFG:ACME;CMD:PCL;CLS:PRINTER;\n"));
    const auto emu =
        shell(site + buildDir() + "/bin/kvprinter-emu --fleet " + dir.file("fleet.txt"), folder,
              ChildProcess::Output::Pipe);
    ASSERT_TRUE(emu->readOutUntil("listening 127.0.0.73:", 10s)) << emu->err();
    const struct {
        std::string target;
        const char* says;
    } rows[] = {
        {endpointOf(emu->out(), "127.0.0.71"), "\"model\":\"ZOW3004F\""},
        {endpointOf(emu->out(), "127.0.0.72"), "\"reason\":\"no-reply\""},
        {endpointOf(emu->out(), "127.0.0.73"), "\"reason\":\"not-kv\""},
        {"10.77.32.1:10001", "\"reason\":\"refused\""},  // a reset: nothing listens
        {"10.99.0.1:10001", "\"reason\":\"refused\""},   // no route to it
        {"10.77.0.1:10001", "\"reason\":\"silent\""},
        {"10.77.15.254:10001", "\"reason\":\"silent\""},
    };
    std::string command = site + buildDir() + "/bin/kvflash --scan 10.77.0.0/20";
    for (size_t i = 0; i < 5; ++i) command += " " + rows[i].target;
    const auto start = std::chrono::steady_clock::now();
    const auto scan = shell(command + " --json --verbose", folder);
    ASSERT_EQ(scan->waitFor(60s), 0) << scan->err();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    const std::string json = scan->out();
    for (const auto& r : rows) {
        const size_t at = json.find("{\"address\":\"" + r.target + "\",");
        ASSERT_NE(at, std::string::npos) << r.target;
        const std::string line = json.substr(at, json.find('\n', at) - at);
        EXPECT_NE(line.find(r.says), std::string::npos) << line;
    }
    EXPECT_NE(scan->err().find("1 printer found; 2 addresses refused, 4094 silent, 1 no-reply, "
                               "1 not-kv"),
              std::string::npos)
        << scan->err();
}

TEST(FleetCommand, RefusalsEndWithTwoBeforeAnyFlash) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    EmulatedPrinter printer("127.0.0.51", {}, dir.path().string());
    const std::string unmarked = dir.file("FMVQ_plain.bin");
    kv::testing::writeAll(unmarked, std::vector<uint8_t>(4096, 0x5A));
    // The lock held by another tool, and a FIFO in the lock file's place.
    kv::testing::TempDir held;
    kv::platform::linux_impl::FlockInstanceLock holder(held.str());
    ASSERT_TRUE(holder.create());
    kv::testing::TempDir fifo;
    ASSERT_EQ(::mkfifo(fifo.file("KV_TOOLS").c_str(), 0666), 0);
    const std::vector<std::string> flash{"--fleet", printer.target, "--image", demoImage(),
                                         "--yes"};
    // The demo image with one byte changed after it was signed.
    const std::string tampered = dir.file("FMVQ_V5.20.bin");
    std::vector<uint8_t> image = kv::testing::readAll(demoImage());
    image[40000] ^= 0x01;
    kv::testing::writeAll(tampered, image);
    std::filesystem::copy_file(demoImage() + ".minisig", tampered + ".minisig");
    const std::string keys = demoKeyFolder(dir);
    const struct {
        std::vector<std::string> arguments;
        std::string says;
        std::string lockFolder = {};
        std::string keys = {};
    } cases[] = {
        {{"--fleet", printer.target, "--image", tampered, "--yes"},
         "does not match its signature",
         {},
         keys},
        {{"--fleet", printer.target, "--image", unmarked, "--yes"}, "no \"FWV:\" version marker"},
        {{"--fleet", printer.target, "--image", dir.file("missing.bin"), "--yes"},
         "Cannot read the image"},
        {{"--fleet", "10.0.0.300", "--image", demoImage(), "--yes"}, "bad target \"10.0.0.300\""},
        {{"--scan", "127.0.0.1:70000"}, "bad target"},
        {{"--fleet", printer.target, "--image", demoImage()}, "without a terminal, --yes"},
        {{"--fleet", printer.target}, "--fleet needs --image"},
        {{"--scan", "127.0.0.1", "--parallel", "257"}, "--parallel needs a number up to 256"},
        {{"--fleet", printer.target, "--image", demoImage(), "--yes", "--log-dir", unmarked},
         "cannot write logs in"},
        {flash, "kvflash: Another KV tool is currently running Please try again later\n",
         held.str()},
        {flash,
         "kvflash: cannot take the instance lock: " + fifo.file("KV_TOOLS") +
             " is not a regular file\n",
         fifo.str()},
    };
    for (const auto& c : cases) {
        FleetRun run(c.arguments, ChildProcess::Output::File, c.lockFolder, c.keys);
        EXPECT_EQ(run.kvflash.waitFor(20s), 2) << c.says;
        EXPECT_NE(run.kvflash.err().find(c.says), std::string::npos) << run.kvflash.err();
    }
    // Only the three runs refused for want of --yes or of the lock (taken
    // after the question) got as far as their scans: the sweep's connection
    // and the identification's for each.
    const std::string served = printer.stop();
    EXPECT_NE(served.find("connections served: 6\n"), std::string::npos) << served;
}

}  // namespace
