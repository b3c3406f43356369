#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "image/Sha256.h"
#include "tests/support/Files.h"
#include "tests/wine/Emulator.h"
#include "tests/wine/WineWorld.h"

namespace kv::testing {
namespace {

namespace fs = std::filesystem;

// A path as the terminal front end prints it: backslashes escaped.
std::string asPrinted(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

class Win32Programs : public ::testing::Test {
protected:
    void SetUp() override {
        KV_REQUIRE_WINE();
        ASSERT_TRUE(wine.ready()) << wine.startError();
    }
    WineWorld wine;
};

// kvflash-cli.exe keeps the terminal front end's contract: the simulated
// flash prints exactly the Linux program's transcript, byte for byte.
TEST_F(Win32Programs, ConsoleFlashPrintsTheGoldenTranscript) {
    const std::string image = WineWorld::windowsPath(KVFLASH_DEMO_IMAGE);
    const RunResult r = wine.run("kvflash-cli.exe", "--console --simulate --fast find select " +
                                                        shellWord(image) + " flash");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    std::string expected = readFile(KVFLASH_SOURCE_DIR "/tests/console/full_local_flash.txt");
    expected.replace(expected.find("@DEMO@"), 6, asPrinted(image));
    EXPECT_EQ(r.out, expected);
}

// The whole Ethernet road on the Windows services: no local printer found
// (Wine's own HID devices are another vendor's, no LPT port exists), the
// address typed, the printer identified over Winsock, the image chosen and
// flashed. The emulator on this side saw exactly the image's bytes.
TEST_F(Win32Programs, EthernetFlashThroughWinsockDeliversTheImageWhole) {
    Emulator emu(
        "--device-id 'MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;' --reset-time 500");
    ASSERT_GT(emu.port(), 0);
    const std::string image = WineWorld::windowsPath(KVFLASH_DEMO_IMAGE);
    const RunResult r = wine.run("kvflash-cli.exe",
                                 "--console find ethernet 127.0.0.1:" + std::to_string(emu.port()) +
                                     " select " + shellWord(image) + " flash",
                                 {}, 240);
    std::printf("%s", r.out.c_str());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("text programStatusText \"Progamming complete\""), std::string::npos);
    const std::string summary = emu.stop();
    std::printf("%s", summary.c_str());
    const std::string bytes = readFile(KVFLASH_DEMO_IMAGE);
    const std::string sha = sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_NE(summary.find("flash-mode bytes: " + std::to_string(bytes.size()) + "\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("flash-mode SHA-256: " + sha), std::string::npos) << summary;
    EXPECT_NE(summary.find("firmware after: V5.20"), std::string::npos) << summary;
}

// kvflash-cli.exe --fleet: three emulated printers flashed at once over
// Winsock, in real time; each took the image whole.
TEST_F(Win32Programs, FleetFlashesThreePrintersThroughWinsock) {
    std::vector<std::unique_ptr<Emulator>> printers;
    std::string targets;
    for (int i = 0; i < 3; ++i) {
        printers.push_back(std::make_unique<Emulator>("--reset-time 500"));
        ASSERT_GT(printers.back()->port(), 0);
        targets += " 127.0.0.1:" + std::to_string(printers.back()->port());
    }
    const std::string image = WineWorld::windowsPath(KVFLASH_DEMO_IMAGE);
    const RunResult r = wine.run(
        "kvflash-cli.exe",
        "--fleet" + targets + " --image " + shellWord(image) + " --yes --canary 0 --json", {}, 240);
    std::printf("%s%s", r.out.c_str(), r.err.c_str());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Summary: 3 verified"), std::string::npos) << r.err;
    const std::string bytes = readFile(KVFLASH_DEMO_IMAGE);
    const std::string sha = sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    for (auto& emu : printers) {
        const std::string summary = emu->stop();
        EXPECT_NE(summary.find("flash-mode SHA-256: " + sha), std::string::npos) << summary;
        EXPECT_NE(r.out.find(":" + std::to_string(emu->port()) +
                             "\",\"model\":\"ZOW3004F\",\"firmware_before\":\"V5.12\","
                             "\"firmware_after\":\"V5.20\",\"outcome\":\"verified\""),
                  std::string::npos)
            << r.out;
    }
}

// The native window under Wine on a private X display: the template's
// geometry, the start state, Find Printer and a whole simulated flash in
// the dialog, worker changes through the UI thread; then kvflash.exe
// itself with its second copy turned away.
TEST_F(Win32Programs, NativeWindow) {
    const RunResult r = wine.runOnDisplay(
        "kvtest_win32.exe", "--gtest_filter=DialogWindow.*:FleetWindow.*:KvflashProgram.*",
        {{"KVTEST_DEMO_IMAGE", WineWorld::windowsPath(KVFLASH_DEMO_IMAGE)}}, 120);
    EXPECT_TRUE(allPassed(r)) << r.out << r.err;
    EXPECT_EQ(r.out.find("SKIPPED"), std::string::npos) << r.out;
    std::printf("%s", r.out.c_str());
}

}  // namespace
}  // namespace kv::testing
