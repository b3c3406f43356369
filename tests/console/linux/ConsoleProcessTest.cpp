// The terminal front end as outside scripts use it: the real program, run
// as a process on the simulated world in virtual time.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/linux/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

using kv::testing::buildDir;
using kv::testing::lines;
using kv::testing::readFile;

// The first of `prefixes` that does not start a line of `out` after the
// line the one before it started; nothing when all do.
std::optional<std::string> missingInOrder(const std::vector<std::string>& out,
                                          const std::vector<std::string>& prefixes) {
    auto it = out.begin();
    for (const auto& prefix : prefixes) {
        it = std::find_if(it, out.end(),
                          [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        if (it == out.end()) return prefix;
        ++it;
    }
    return std::nullopt;
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ConsoleProcess : public ::testing::Test {
protected:
    void SetUp() override {
        if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
        // The program insists on administrator rights, as it does for users.
        if (::geteuid() != 0) GTEST_SKIP() << "needs root: kvflash refuses to run without it";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        temp_ = fs::temp_directory_path() /
                ("kvflash-console-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(temp_);
        fs::create_directories(temp_);
    }
    void TearDown() override {
        if (!temp_.empty()) fs::remove_all(temp_);
    }

    ProcessResult run(const std::vector<std::string>& args, const std::string& program = {}) {
        // No display: the runs without --console mean the terminal too. The
        // flash history (a simulated run's own) stays in the test's folder.
        std::string command = "KVFLASH_LOCK_DIR=" + shellQuote(temp_.string()) +
                              " KVFLASH_STATE_DIR=" + shellQuote(temp_.string()) + " " +
                              kv::testing::kWithoutDisplay +
                              shellQuote(program.empty() ? kvflash() : program);
        for (const auto& a : args) command += " " + shellQuote(a);
        command += " >" + shellQuote((temp_ / "out").string()) + " 2>" +
                   shellQuote((temp_ / "err").string()) + " </dev/null";
        const int status = std::system(command.c_str());
        ProcessResult r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(temp_ / "out");
        r.err = readFile(temp_ / "err");
        return r;
    }

    static std::string kvflash() { return buildDir() + "/bin/kvflash"; }
    static std::string demoImage() { return buildDir() + "/demo/FMVQ_V5.20.bin"; }

    fs::path temp_;
};

TEST_F(ConsoleProcess, FullSimulatedLocalFlashLineByLine) {
    const ProcessResult r =
        run({"--console", "--simulate", "--fast", "find", "select", demoImage(), "flash"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string expected =
        readFile(fs::path(KVFLASH_SOURCE_DIR) / "tests/console/full_local_flash.txt");
    const std::string marker = "@DEMO@";
    expected.replace(expected.find(marker), marker.size(), demoImage());
    EXPECT_EQ(lines(r.out), lines(expected));
}

TEST_F(ConsoleProcess, UsageErrorsExitTwoWithOneLineAndTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"--console", "frobnicate"},
        {"--fast", "find"},
        {"--console", "ethernet"},
        {"--console", "ethernet", "10.0.0"},
        {"--console", "ethernet", "10.0.0.1:port"},
        {"--console", "select"},
        {"--sim-usb"},
        {"--keep-bytes", "4096"},
        {"--simulate", "--keep-bytes", "67108865"},
        // Whatever an argument holds, the error stays one line.
        {"--bo\ngus"},
        {"--json"},
    };
    for (const auto& args : cases) {
        const ProcessResult r = run(args);
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        // One line that points at the usage, not the usage itself.
        const auto errLines = lines(r.err);
        ASSERT_EQ(errLines.size(), 1u) << r.err;
        EXPECT_EQ(errLines[0].rfind("kvflash: ", 0), 0u) << errLines[0];
        EXPECT_TRUE(errLines[0].ends_with(" (see kvflash --help)")) << errLines[0];
    }
}

TEST_F(ConsoleProcess, HelpAndVersion) {
    const ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--console",
                             "--yes",
                             "--trace",
                             "--simulate",
                             "--sim-usb",
                             "--sim-usb-no-id",
                             "--sim-lpt1",
                             "quit",
                             "--fast",
                             "find",
                             "ethernet A.B.C.D[:PORT]",
                             "select PATH",
                             "flash",
                             "ready",
                             "help",
                             "exit",
                             "--list-queues",
                             "--restore-queues",
                             "--history",
                             "--json",
                             "history",
                             "image SIZE \"VERSION\" SHA256",
                             "verify OUTCOME \"DETAIL\"",
                             "3 when the last flash"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    const ProcessResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kvflash 4.0.2.2\n");
}

TEST_F(ConsoleProcess, RefusedCommandsStopTheRunWithExitOne) {
    struct Case {
        std::vector<std::string> commands;
        std::string refusal;
    };
    const std::vector<Case> cases = {
        {{"flash"}, "refused flashButton hidden"},
        // The Ethernet group starts disabled; only a search that counted
        // no local printer opens it.
        {{"ethernet", "127.0.0.1"}, "refused ipOctetEdit1 disabled"},
        {{"find", "ethernet", "127.0.0.1"}, "refused ipOctetEdit1 hidden"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--console", "--simulate", "--fast"};
        args.insert(args.end(), c.commands.begin(), c.commands.end());
        args.push_back("help");  // never reached
        const ProcessResult r = run(args);
        SCOPED_TRACE(c.refusal);
        EXPECT_EQ(r.exitCode, 1);
        const auto out = lines(r.out);
        EXPECT_NE(std::find(out.begin(), out.end(), c.refusal), out.end()) << r.out;
        EXPECT_EQ(r.out.find("Help information"), std::string::npos);
    }
}

TEST_F(ConsoleProcess, TextsAreEscapedLikeC) {
    // A model name with a quote, a backslash and a tab; Help's own line breaks.
    const ProcessResult r = run({"--console", "--simulate", "--fast", "--sim-usb",
                                 "MDL:Z\"W\\\t9;FWV:V5.12;", "find", "help"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    EXPECT_NE(std::find(out.begin(), out.end(), "text printerModelText \"Z\\\"W\\\\\\t9\""),
              out.end())
        << r.out;
    const std::string helpLine =
        "box \"........................ Help information ....................\" \"1 - Click Find "
        "Printer .....\\r\\n  If application reports";
    EXPECT_NE(r.out.find(helpLine), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\\r\\n\\n2 - Click Select firmware file"), std::string::npos);
}

// The file dialog answers only what a real one returns, an existing regular
// file: anything else is a cancelled dialog, with the reason on stderr.
TEST_F(ConsoleProcess, FileDialogCancelsWhatIsNoFileAndRejectsAWrongOne) {
    const fs::path folder = temp_ / "d.bin";
    fs::create_directory(folder);
    const fs::path missing = temp_ / "missing.bin";
    const fs::path wrong = temp_ / "F2KV1_wrong.bin";
    std::ofstream(wrong) << "x";
    const ProcessResult r =
        run({"--console", "--simulate", "--fast", "find", "select", "-", "select", folder.string(),
             "select", missing.string(), "select", wrong.string(), "flash"});
    EXPECT_EQ(r.exitCode, 1);
    const auto out = lines(r.out);
    const std::string cancelled = "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> -";
    const std::string noFile = "box \"Get Firmware file\" \"Did not get a file to open\"";
    const std::vector<std::string> expected = {
        cancelled,
        noFile,
        cancelled,
        noFile,
        cancelled,
        noFile,
        "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> \"" + wrong.string() + "\"",
        "box \"Validating FW File\" \"You have selected firmware not compatible with this "
        "printer\"",
        "box \"Get Firmware file\" \"Invalid firmware file selected\"",
        "refused flashButton hidden",
    };
    EXPECT_EQ(missingInOrder(out, expected), std::nullopt) << r.out;
    // One line for each path the dialog would not return, naming it.
    const auto err = lines(r.err);
    ASSERT_EQ(err.size(), 2u) << r.err;
    EXPECT_NE(err[0].find(folder.string()), std::string::npos) << err[0];
    EXPECT_NE(err[1].find(missing.string()), std::string::npos) << err[1];
}

// A quit request from the dialog (here: the one printer's device ID cannot
// be read) ends the run as it ends the window: no later command runs.
TEST_F(ConsoleProcess, QuitRequestEndsTheRun) {
    const ProcessResult r = run({"--console", "--simulate", "--fast", "--sim-usb-no-id",
                                 "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;", "find",
                                 "select", demoImage(), "flash"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const auto out = lines(r.out);
    const std::string cannotFind = "box - \"Cannot find attached KV printer, exiting \"";
    const auto box = std::find(out.begin(), out.end(), cannotFind);
    ASSERT_NE(box, out.end()) << r.out;
    EXPECT_EQ(out.back(), "quit") << r.out;
    EXPECT_EQ(r.out.find("file-dialog"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(out.begin(), out.end(), "quit"), 1);
}

// Beside a copy named *AUTO.EXE, the one *.bin entry is searched for and
// flashed without a click; nothing waits for one on the way.
TEST_F(ConsoleProcess, AutomaticLoadRunsWithoutCommands) {
    const std::string searched[] = {"text statusText \"Searching for printers\"", "hide helpButton",
                                    "hide selectFileButton",
                                    "text statusText \"Checking file compatibility\""};
    const std::string title = "title \"V4.0.2.2 09/28/2022  Corbelline Firmware UpdaterAuto Load (";
    const std::string flashed[] = {
        "text programStatusText \"Printer responding\"",
        "text programStatusText \"Printer successfully flashed\"",
        "verify verified \"the printer reports V5.20, the image's version (before: V5.12)\""};
    // A flash cut off in an earlier run: its record has no ended line.
    const std::string interrupted =
        R"({"event":"started","id":"0123456789abcdef","start":"2024-05-01T10:00:00Z",)"
        R"("link":"USB","address":"sim","model":"ZOW3004F","image":"/media/FMVQ_V5.20.bin"})";
    const std::string notice =
        "notice \"Interrupted flash\" \"The last flash did not finish: ZOW3004F on USB";
    struct Case {
        const char* name;
        std::string image;    // beside the program; a name ending in '/' is a folder
        std::string history;  // the simulated runs' history before the run
        std::vector<std::string> inOrder;
        int exitCode;
    };
    const Case cases[] = {
        {"one image",
         "FMVQ_V5.20.bin",
         "",
         {title + "FMVQ_V5.20.bin", searched[0], searched[3], flashed[0], flashed[1], flashed[2]},
         0},
        {"after an interrupted flash",
         "FMVQ_V5.20.bin",
         interrupted + "\n",
         {notice, title, searched[0], searched[1], searched[2], flashed[0], flashed[2]},
         0},
        // A folder named like an image, the only *.bin entry: automatic-load
        // mode with a file that does not open, found before flash mode.
        {"a lone folder",
         "FMVQ_V520.bin/",
         "",
         {title + "FMVQ_V520.bin", searched[3], "box \"ProgramFlash\" \"FW file DID NOT open\"",
          "verify failed \"FW file DID NOT open\""},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const fs::path exe = temp_ / "fwauto.exe";
        fs::copy_file(kvflash(), exe);
        if (c.image.ends_with('/')) {
            fs::create_directory(temp_ / c.image);
        } else {
            fs::copy_file(demoImage(), temp_ / c.image);
        }
        std::ofstream(temp_ / "history-simulated.jsonl") << c.history;
        const ProcessResult r = run({"--console", "--simulate", "--fast"}, exe.string());
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        EXPECT_EQ(missingInOrder(lines(r.out), c.inOrder), std::nullopt) << r.out;
        // No box waits for a click, the automatic file is never offered to
        // the user, and a file that does not open never reaches flash mode.
        EXPECT_EQ(r.out.find("box \"Interrupted flash\""), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("file-dialog"), std::string::npos);
        EXPECT_EQ(r.out.find(flashed[0]) == std::string::npos, c.exitCode != 0);
    }
}

TEST_F(ConsoleProcess, SecondCopyIsRefusedWhileTheFirstHoldsTheLock) {
    // Hold the lock as another KV tool would, then start kvflash.
    const std::string holder = "exec 9>" + shellQuote((temp_ / "KV_TOOLS").string()) +
                               " && flock -n 9 && " + shellQuote(kvflash());
    const std::string command = "KVFLASH_LOCK_DIR=" + shellQuote(temp_.string()) +
                                " KVFLASH_STATE_DIR=" + shellQuote(temp_.string()) + " sh -c " +
                                shellQuote(holder + " --console --simulate --fast") + " >" +
                                shellQuote((temp_ / "out").string()) + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(temp_ / "out"),
              "box - \"Another KV tool is currently running\\rPlease try again later\"\n");
}

// An image of `size` pseudo-random bytes without any "FWV:" marker, named
// so that the simulated printer's board takes it.
std::string unmarkedImage(const fs::path& folder, size_t size) {
    const fs::path path = folder / ("FMVQ_plain_" + std::to_string(size) + ".bin");
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>('a' + (i * 7) % 26));
    return path.string();
}

TEST_F(ConsoleProcess, ExitCodesFollowTheVerdictAndTheHistoryShowsEachRun) {
    struct Case {
        std::string image;
        int exitCode;
        std::string imageLine;
        std::string verifyLine;
    };
    const std::vector<Case> cases = {
        {demoImage(), 0,
         "image 65536 \"V5.20\" 26f3be5617dfe4246ca3101f1bc284567886a69dccdec245964d3b36d983961d",
         "verify verified \"the printer reports V5.20, the image's version (before: V5.12)\""},
        {unmarkedImage(temp_, 1000), 3, "image 1000 \"\" ",
         "verify unchecked \"the image carries no version marker; before: V5.12, after: V5.12\""},
        {unmarkedImage(temp_, 0), 1,
         "image 0 \"\" e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "verify failed \"the image is empty; nothing was sent\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        const ProcessResult r =
            run({"--console", "--simulate", "--fast", "find", "select", c.image, "flash"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        const auto out = lines(r.out);
        ASSERT_FALSE(out.empty());
        // The verdict is the flash's last line.
        EXPECT_EQ(out.back(), c.verifyLine);
        EXPECT_TRUE(std::any_of(out.begin(), out.end(), [&](const std::string& l) {
            return l.rfind(c.imageLine, 0) == 0;
        })) << r.out;
    }

    // Each run in the simulated runs' own history, oldest first.
    const ProcessResult table = run({"--simulate", "--history"});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    const auto rows = lines(table.out);
    ASSERT_EQ(rows.size(), 4u) << table.out;
    EXPECT_NE(rows[1].find("verified: "), std::string::npos);
    EXPECT_NE(rows[2].find("unchecked: "), std::string::npos);
    EXPECT_NE(rows[3].find("failed: the image is empty"), std::string::npos);
    EXPECT_TRUE(fs::exists(temp_ / "history-simulated.jsonl"));
    EXPECT_FALSE(fs::exists(temp_ / "history.jsonl")) << "a simulated run kept out of the real one";

    const ProcessResult json = run({"--simulate", "--history", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    // A started and an ended line per flash that reached flash mode.
    EXPECT_EQ(lines(json.out).size(), 6u);
    EXPECT_EQ(json.out, readFile(temp_ / "history-simulated.jsonl"));

    // The machine's own history is empty: stderr points at the runs above.
    const ProcessResult own = run({"--history", "--json"});
    EXPECT_EQ(own.exitCode, 0);
    EXPECT_EQ(own.out, "");
    EXPECT_EQ(own.err,
              "The simulated printers' history has 3 records: kvflash --history --simulate\n");
}

// kvflash killed while the printer is in flash mode: the history keeps the
// started record, --history marks it, and the next start says what to do.
TEST_F(ConsoleProcess, AKilledFlashIsMarkedAndTheNextStartSaysSo) {
    // Real time: the start delay leaves the printer in flash mode for three
    // seconds.
    kv::testing::ChildProcess child(
        kvflash(), {"--console", "--simulate", "find", "select", demoImage(), "flash"},
        {{"KVFLASH_LOCK_DIR", temp_.string()}, {"KVFLASH_STATE_DIR", temp_.string()}},
        temp_.string(), kv::testing::ChildProcess::Output::Pipe);
    ASSERT_TRUE(child.started());
    const bool inFlashMode =
        child.readOutUntil("text programStatusText \"Delaying", std::chrono::seconds(30));
    child.signal(SIGKILL);
    EXPECT_EQ(child.waitFor(std::chrono::seconds(10)), 128 + SIGKILL);
    ASSERT_TRUE(inFlashMode) << child.out();

    const ProcessResult table = run({"--simulate", "--history"});
    const auto rows = lines(table.out);
    ASSERT_EQ(rows.size(), 2u) << table.out;
    EXPECT_NE(rows[1].find("interrupted: the printer may still be in flash mode"),
              std::string::npos)
        << rows[1];

    const ProcessResult next = run({"--console", "--simulate", "--fast", "help"});
    EXPECT_EQ(next.exitCode, 0);
    const auto shown = lines(next.out);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(
        shown[0].rfind("box \"Interrupted flash\" \"The last flash did not finish: ZOW3004F on "
                       "USB sim1001, started ",
                       0),
        0u)
        << shown[0];
}

// Ctrl+C, SIGTERM and SIGHUP as a user or the system sends them. While the
// printer is in flash mode the first one gets the window's refusal, the
// flash goes on to its verdict and the program then ends with 128 + the
// signal; a second one ends it at once, the record left started only.
// Elsewhere the first one ends it at once. The child's output is read only
// up to the line the signal waits for, so it cannot get past that point
// by much: the run is in virtual time, the image long enough that its
// lines alone fill the pipe many times over.
TEST_F(ConsoleProcess, SignalsEndTheRunButNotAFlashUnderWay) {
    const fs::path image = temp_ / "FMVQ_V5.20_large.bin";
    {
        std::ofstream out(image, std::ios::binary);
        out << "FWV:V5.20;";
        out << std::string(8 * 1024 * 1024 - 10, '\x5a');
    }
    const std::string refusal = "box - \"Cannot exit while printer FW is being updated\"";
    const std::string flashMode = "text programStatusText \"Printer responding\"";
    // By then the flash's started record is on disk.
    const std::string startDelay = "text programStatusText \"Delaying";
    const std::string verdict = "verify verified \"the printer reports V5.20";
    struct Case {
        const char* name;
        size_t helps;          // Display Help presses before the flash
        std::string signalAt;  // the line the first signal waits for
        std::vector<int> signals;
        bool finished;         // the flash went on to its verdict
        std::string recorded;  // what --history says of it ("" no flash)
    };
    const Case cases[] = {
        {"before flash mode",
         40,
         "box \"........................ Help information",
         {SIGINT},
         false,
         ""},
        {"first in flash mode", 0, flashMode, {SIGTERM}, true, "verified: "},
        {"first in the start delay", 0, startDelay, {SIGHUP}, true, "verified: "},
        {"second in flash mode", 0, startDelay, {SIGINT, SIGTERM}, false, "interrupted: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(temp_ / "history-simulated.jsonl");
        std::vector<std::string> args{"--console",    "--simulate", "--fast", "--trace",
                                      "--keep-bytes", "4096",       "find"};
        args.insert(args.end(), c.helps, "help");
        args.insert(args.end(), {"select", image.string(), "flash", "help"});
        kv::testing::ChildProcess child(
            kvflash(), args,
            {{"KVFLASH_LOCK_DIR", temp_.string()}, {"KVFLASH_STATE_DIR", temp_.string()}},
            temp_.string(), kv::testing::ChildProcess::Output::Pipe);
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(child.readOutUntil(c.signalAt, std::chrono::seconds(30))) << child.out();
        child.signal(c.signals[0]);
        if (c.signals.size() > 1) {
            ASSERT_TRUE(child.readOutUntil(refusal, std::chrono::seconds(30))) << child.out();
            child.signal(c.signals[1]);
        }
        const auto code = child.waitFor(std::chrono::seconds(30));
        ASSERT_TRUE(code.has_value()) << "still running";
        EXPECT_EQ(*code, 128 + c.signals.back()) << child.out() << child.err();

        const auto out = lines(child.out());
        const auto at = [&](const std::string& prefix) {
            return std::find_if(out.begin(), out.end(),
                                [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        };
        const bool inFlashMode = c.helps == 0;
        EXPECT_EQ(at(flashMode) != out.end(), inFlashMode) << child.out();
        EXPECT_EQ(at(refusal) != out.end(), inFlashMode) << child.out();
        if (inFlashMode) {
            EXPECT_LT(at(flashMode), at(refusal));
        }
        if (c.finished) {
            // The verdict is the last line: no later command ran.
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out.back().rfind(verdict, 0), 0u) << child.out();
            EXPECT_LT(at(refusal), at(verdict));
        } else {
            EXPECT_EQ(at("verify "), out.end()) << child.out();
        }
        // The trace: the refusal, the ending; after a second signal the
        // queues the flash had switched are put back before the end.
        const std::string err = child.err();
        const auto traced = [&](int signalNumber, const std::string& what) {
            return err.find("Signal " + std::to_string(signalNumber) + " - " + what);
        };
        const size_t ending = traced(c.signals.back(), "restoring print queues before ending");
        EXPECT_NE(ending, std::string::npos) << err;
        EXPECT_EQ(traced(c.signals[0], "the printer is in flash mode") != std::string::npos,
                  inFlashMode);
        if (c.signals.size() > 1) {
            EXPECT_NE(err.find("RestorePortsToOriginal - Original port name", ending),
                      std::string::npos);
        }

        const ProcessResult table = run({"--simulate", "--history"});
        const auto rows = lines(table.out);
        if (c.recorded.empty()) {
            EXPECT_EQ(table.out.rfind("No flash recorded yet", 0), 0u) << table.out;
        } else {
            ASSERT_EQ(rows.size(), 2u) << table.out;
            EXPECT_NE(rows[1].find(c.recorded), std::string::npos) << rows[1];
        }
    }
}

}  // namespace
