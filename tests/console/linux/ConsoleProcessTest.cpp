// The terminal front end as outside scripts use it: the real program, run
// as a process on the simulated world in virtual time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string buildDir() {
    const char* dir = std::getenv("KVFLASH_BUILD_DIR");
    return dir ? dir : "";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
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
        // The flash history (a simulated run's own) stays in the test's folder.
        std::string command = "KVFLASH_LOCK_DIR=" + shellQuote(temp_.string()) +
                              " KVFLASH_STATE_DIR=" + shellQuote(temp_.string()) + " " +
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
    const ProcessResult r = run({"--console", "--simulate", "--fast", "find", "select", demoImage(), "flash"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string expected = readFile(fs::path(KVFLASH_SOURCE_DIR) / "tests/console/full_local_flash.txt");
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
    };
    for (const auto& args : cases) {
        const ProcessResult r = run(args);
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        const auto errLines = lines(r.err);
        ASSERT_GE(errLines.size(), 2u);
        EXPECT_EQ(errLines[0].rfind("kvflash: ", 0), 0u) << errLines[0];
        EXPECT_EQ(errLines[1].rfind("usage: kvflash", 0), 0u);
    }
}

TEST_F(ConsoleProcess, HelpAndVersion) {
    const ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--console", "--yes", "--trace", "--simulate", "--sim-usb", "--sim-lpt1",
                             "--fast", "find", "ethernet A.B.C.D[:PORT]", "select PATH", "flash",
                             "ready", "help", "exit", "--list-queues", "--restore-queues"}) {
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

TEST_F(ConsoleProcess, CancelledFileDialogAndARejectedFile) {
    const ProcessResult r = run({"--console", "--simulate", "--fast", "find", "select", "-", "select",
                       "/fw/F2KV1_wrong.bin", "flash"});
    EXPECT_EQ(r.exitCode, 1);
    const auto out = lines(r.out);
    const std::vector<std::string> expected = {
        "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> -",
        "box \"Get Firmware file\" \"Did not get a file to open\"",
        "file-dialog \"Bin Files (*.bin)\" \"*.bin\" -> \"/fw/F2KV1_wrong.bin\"",
        "box \"Validating FW File\" \"You have selected firmware not compatible with this printer\"",
        "box \"Get Firmware file\" \"Invalid firmware file selected\"",
        "refused flashButton hidden",
    };
    auto it = out.begin();
    for (const auto& line : expected) {
        it = std::find(it, out.end(), line);
        ASSERT_NE(it, out.end()) << "missing in order: " << line << "\n" << r.out;
    }
}

TEST_F(ConsoleProcess, AutomaticLoadFlashesWithoutCommands) {
    const fs::path exe = temp_ / "fwauto.exe";
    fs::copy_file(kvflash(), exe);
    fs::copy_file(demoImage(), temp_ / "FMVQ_V5.20.bin");
    const ProcessResult r = run({"--console", "--simulate", "--fast"}, exe.string());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto out = lines(r.out);
    const std::vector<std::string> expected = {
        "title \"V4.0.2.2 09/28/2022  Corbelline Firmware UpdaterAuto Load (FMVQ_V5.20.bin) \"",
        "text statusText \"Searching for printers\"",
        "hide helpButton",
        "hide selectFileButton",
        "text statusText \"Checking file compatibility\"",
        "text programStatusText \"Printer successfully flashed\"",
        "text currentVersionText \"V5.20\"",
    };
    auto it = out.begin();
    for (const auto& line : expected) {
        it = std::find(it, out.end(), line);
        ASSERT_NE(it, out.end()) << "missing in order: " << line << "\n" << r.out;
    }
    // The automatic file is never offered to the user.
    EXPECT_EQ(r.out.find("file-dialog"), std::string::npos);
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

}  // namespace
