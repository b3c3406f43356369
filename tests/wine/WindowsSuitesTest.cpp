#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/wine/WineWorld.h"

namespace kv::testing {
namespace {

// The folders of tests/ whose programs the Windows build makes.
std::vector<std::string> windowsTestFolders() {
    std::vector<std::string> folders;
    std::istringstream list(KVFLASH_WINDOWS_TEST_FOLDERS);
    for (std::string folder; std::getline(list, folder, ',');) {
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

// gtest's own summary lines and every failure, without the rest.
std::string summaryOf(const std::string& out) {
    std::string shown;
    for (std::string line : lines(out)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("[==========]", 0) == 0 || line.rfind("[  PASSED  ]", 0) == 0 ||
            line.rfind("[  FAILED  ]", 0) == 0) {
            shown += line + "\n";
        } else if (line.rfind("[  SKIPPED ]", 0) == 0) {
            // Not in gtest's own words: CTest would take the whole program
            // for skipped (what needs a terminal runs in a test of its own).
            shown += "  skipped here:" + line.substr(12) + "\n";
        }
    }
    return shown;
}

class WindowsSuite : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        KV_REQUIRE_WINE();
        ASSERT_TRUE(wine.ready()) << wine.startError();
    }
    WineWorld wine;
};

// A folder's test program, cross-built with the Windows platform's own
// services under the shared test world, passes whole under Wine.
TEST_P(WindowsSuite, PassesUnderWine) {
    const std::string program = "kvtest_" + GetParam() + ".exe";
    ASSERT_TRUE(std::filesystem::exists(WineWorld::binFolder() + "/" + program))
        << program << " is missing from the Windows build";
    const RunResult r = wine.run(program, "", {}, 240);
    std::printf("%s", summaryOf(r.out).c_str());
    EXPECT_TRUE(allPassed(r)) << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(Folder, WindowsSuite, ::testing::ValuesIn(windowsTestFolders()),
                         [](const auto& info) { return info.param; });

// What needs a console of its own (a real Ctrl+C) runs on a terminal, its
// report written to a file: Wine's console draws every character of the
// terminal's output with cursor moves, slow and hard to read back. Ctrl+C
// while another thread switches the queues, and Ctrl+C in flash mode (held
// until the flash has ended, or ended at once by a second one).
TEST(WindowsSuiteOnATerminal, RealCtrlCWhileQueuesAreSwitchedAndInFlashMode) {
    KV_REQUIRE_WINE();
    WineWorld wine;
    ASSERT_TRUE(wine.ready()) << wine.startError();
    const std::filesystem::path report = std::filesystem::path(WineWorld::prefix()).parent_path() /
                                         ("kvtest-app-" + std::to_string(::getpid()) + ".xml");
    std::filesystem::remove(report);
    const RunResult r = wine.runOnTerminal(
        "kvtest_app.exe",
        "--gtest_brief=1 --gtest_filter=Termination.RealSignalWhileAnotherThreadSwitches:"
        "Termination.RealCtrlCInFlashModeWaitsForTheFlashsEnd "
        "--gtest_output=xml:" +
            shellWord(WineWorld::windowsPath(report.string())));
    const std::string xml = readFile(report);
    std::filesystem::remove(report);
    EXPECT_EQ(r.code, 0) << xml;
    EXPECT_NE(xml.find("tests=\"2\" failures=\"0\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("result=\"completed\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("result=\"skipped\""), std::string::npos) << xml;
}

}  // namespace
}  // namespace kv::testing
