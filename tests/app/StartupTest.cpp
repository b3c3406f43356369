#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/Startup.h"
#include "platform/sim/SimAdmin.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempDir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// A folder for the lock file and the images beside a program.
struct Folder : testing::TempDir {
    std::string path() const { return str(); }
    // A name ending in '/' makes a folder.
    void touch(const std::string& name) const {
        if (name.ends_with('/')) {
            fs::create_directory(file(name.substr(0, name.size() - 1)));
        } else {
            std::ofstream(file(name)) << "x";
        }
    }
};

// One run's services, with the lock file and executable placed by the test.
struct World : testing::SimWorld {
    explicit World(const std::string& lockFolder, const std::string& exe = "/opt/kv/kvflash",
                   bool admin = true)
        : adminService(admin) {
        useHostInstanceLock(lockFolder);
        useHostFiles(exe);
        sys.wired.admin = &adminService;
    }
    platform::sim::SimAdmin adminService;
};

TEST(Startup, SecondLockHolderIsRefusedAndFirstKeepsRunning) {
    Folder dir;
    World first(dir.path());
    EXPECT_EQ(runStartupChecks(first.ctx), std::nullopt);
    EXPECT_TRUE(first.ui.boxes().empty());
    EXPECT_TRUE(first.trace.contains(
        "CreateSingleInstance = m_dwLastError = 0, ERROR_ALREADY_EXISTS = B7\r\n"));

    {
        // The refused program ends after its box (on Windows its handle
        // keeps the named mutex alive until then).
        World second(dir.path());
        EXPECT_EQ(runStartupChecks(second.ctx), 0);
        ASSERT_EQ(second.ui.boxes().size(), 1u);
        EXPECT_FALSE(second.ui.boxes()[0].caption.has_value());
        EXPECT_EQ(second.ui.boxes()[0].text,
                  "Another KV tool is currently running\rPlease try again later");
        EXPECT_TRUE(second.trace.contains(
            "IsAnotherInstanceRunning = m_dwLastError = B7, ERROR_ALREADY_EXISTS = B7\r\n"));
    }

    // Leaving the program frees the lock for the next tool.
    ClearInstanceMutex(first.ctx);
    World third(dir.path());
    EXPECT_EQ(runStartupChecks(third.ctx), std::nullopt);
}

// Never taken for held: the box says what failed, and nothing else is
// checked, since nothing keeps another tool off the printers.
TEST(Startup, ALockThatCannotBeTriedEndsWithItsReason) {
    Folder dir;
    World w(dir.path());
    w.simLock.answer = platform::Failure{"cannot open /run/lock/KV_TOOLS: Input/output error"};
    w.sys.wired.instanceLock = &w.simLock;
    EXPECT_EQ(runStartupChecks(w.ctx), 1);
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, "Error");
    const std::string said =
        "cannot take the instance lock: cannot open /run/lock/KV_TOOLS: Input/output error";
    EXPECT_EQ(w.ui.boxes()[0].text, said);
    EXPECT_TRUE(w.trace.contains("CreateSingleInstance - " + said + "\r\n"));
    EXPECT_TRUE(w.trace.contains(
        "IsAnotherInstanceRunning = m_dwLastError = 0, ERROR_ALREADY_EXISTS = B7\r\n"));
    EXPECT_EQ(w.trace.count("IsRunningAsAdmin - effective user id = 0\r\n"), 0u);
}

TEST(Startup, NotAdministratorEndsWithCodeZeroAfterItsBox) {
    Folder dir;
    World w(dir.path(), "/opt/kv/kvflash", /*admin=*/false);
    EXPECT_EQ(runStartupChecks(w.ctx), 0);
    ASSERT_EQ(w.ui.boxes().size(), 1u);
    EXPECT_EQ(w.ui.boxes()[0].caption, "Error");
    EXPECT_EQ(w.ui.boxes()[0].text, "Not running as admin, please run as Adminstrator");
    const auto lines = w.trace.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "NOT Running as Admin!\r\n");
    EXPECT_EQ(lines.back(), "Not running as admin!!!!!!!!!\r\n");
}

TEST(Startup, AdministratorGoesOnToAutoLoadDetection) {
    Folder dir;
    World w(dir.path());
    EXPECT_EQ(runStartupChecks(w.ctx), std::nullopt);
    EXPECT_TRUE(w.trace.contains("Running as Admin\r\n"));
    EXPECT_TRUE(w.trace.contains("Running as admin\r\n"));
    EXPECT_EQ(w.state.modulePath, "/opt/kv/kvflash");
}

struct AutoLoadCase {
    const char* name;
    const char* exeName;
    std::vector<std::string> files;
    bool autoLoad;
    const char* image;
};

void PrintTo(const AutoLoadCase& c, std::ostream* os) { *os << c.name; }

class DetectAutoLoadTest : public ::testing::TestWithParam<AutoLoadCase> {};

TEST_P(DetectAutoLoadTest, NeedsTheNameAndExactlyOneImage) {
    const AutoLoadCase& c = GetParam();
    Folder dir;
    for (const auto& f : c.files) dir.touch(f);
    World w(dir.path(), dir.file(c.exeName));
    w.state.autoLoadMode = true;  // whatever was there is replaced
    w.state.autoLoadFileName = "stale";
    DetectAutoLoad(w.ctx);
    EXPECT_EQ(w.state.autoLoadMode, c.autoLoad);
    if (c.autoLoad) {
        EXPECT_EQ(w.state.autoLoadFileName, c.image);
        EXPECT_EQ(w.state.autoLoadFilePath, dir.file(c.image));
    } else {
        EXPECT_EQ(w.state.autoLoadFileName, "");
        EXPECT_EQ(w.state.autoLoadFilePath, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Startup, DetectAutoLoadTest,
    ::testing::Values(
        AutoLoadCase{"OneImage", "fwauto.exe", {"image.bin", "notes.txt"}, true, "image.bin"},
        AutoLoadCase{"UpperCaseImage", "FWAUTO.EXE", {"IMAGE.BIN"}, true, "IMAGE.BIN"},
        AutoLoadCase{"MixedCaseName", "Auto.Exe", {"a.Bin"}, true, "a.Bin"},
        AutoLoadCase{"TwoImages", "fwauto.exe", {"a.bin", "b.bin"}, false, ""},
        // A folder named like an image is a match of the search as well.
        AutoLoadCase{"ImageAndBinFolder", "fwauto.exe", {"image.bin", "d.bin/"}, false, ""},
        // Alone, it is the automatic file; the flash then finds no file to open.
        AutoLoadCase{"LoneBinFolder", "fwauto.exe", {"FMVQ_V520.bin/"}, true, "FMVQ_V520.bin"},
        AutoLoadCase{"NoImage", "fwauto.exe", {"a.txt"}, false, ""},
        AutoLoadCase{"OldSuffix", "AUTO.EXE.old", {"a.bin"}, false, ""},
        AutoLoadCase{"NoDot", "AUTOEXE.EXE", {"a.bin"}, false, ""},
        AutoLoadCase{"PlainName", "kvflash", {"a.bin"}, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, ShortOrFolderlessPathsNeverEnterAutoLoad) {
    Folder dir;
    for (const char* exe : {"", "a", "AUTO.EX", "AUTO.EXE"}) {
        World w(dir.path());
        w.simFiles.executable = exe;
        w.simFiles.binFiles = {"a.bin"};
        w.sys.wired.files = &w.simFiles;
        DetectAutoLoad(w.ctx);
        EXPECT_FALSE(w.state.autoLoadMode) << exe;
    }
}

TEST(Startup, OverlongExecutablePathIsCutBeforeTheNameTest) {
    Folder dir;
    World w(dir.path());
    w.simFiles.executable = "/" + std::string(300, 'd') + "/fwauto.exe";
    w.simFiles.binFiles = {"a.bin"};
    w.sys.wired.files = &w.simFiles;
    DetectAutoLoad(w.ctx);
    EXPECT_EQ(w.state.modulePath.size(), 259u);
    EXPECT_FALSE(w.state.autoLoadMode);
}

}  // namespace
}  // namespace kv
