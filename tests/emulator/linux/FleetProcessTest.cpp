// kvprinter-emu --fleet as a user runs it: three printers from one file on
// their own loopback addresses, each identified by kvflash over real
// sockets, each with its own summary line; a hostile file ends with 2.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace {

using namespace std::chrono_literals;
using kv::testing::ChildProcess;

using kv::testing::buildDir;
// The endpoint the emulator printed for `address` ("127.0.0.3:41234").
std::string endpointOf(const std::string& out, const std::string& address) {
    const std::string prefix = "listening " + address + ":";
    const size_t at = out.find(prefix);
    if (at == std::string::npos) return "";
    const size_t from = at + 10;
    return out.substr(from, out.find('\n', from) - from);
}

TEST(FleetProcess, ThreePrintersEachIdentifiedOnItsOwnAddress) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    ASSERT_TRUE(kv::testing::writeFile(
        dir.file("fleet.txt"),
        "# a box office\n"
        "127.0.0.2:0 MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;\n"
        "127.0.0.3:0 MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;\n"
        "127.0.0.4:0 MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12; not-ready\n"));
    ChildProcess emu(buildDir() + "/bin/kvprinter-emu", {"--fleet", dir.file("fleet.txt")}, {},
                     dir.str(), ChildProcess::Output::Pipe);
    ASSERT_TRUE(emu.readOutUntil("listening 127.0.0.4:", 10s)) << emu.err();
    const struct {
        std::string address;
        std::string version;
        std::string ready;
    } printers[] = {
        {"127.0.0.2", "V5.12", "yes"}, {"127.0.0.3", "V5.20", "yes"}, {"127.0.0.4", "V5.12", "no"}};
    std::vector<std::string> endpoints;
    for (const auto& p : printers) {
        SCOPED_TRACE(p.address);
        const std::string endpoint = endpointOf(emu.out(), p.address);
        ASSERT_FALSE(endpoint.empty()) << emu.out();
        endpoints.push_back(endpoint);
        kv::testing::TempDir runDir;
        ChildProcess kvflash(
            buildDir() + "/bin/kvflash", {"--identify", endpoint},
            {{"KVFLASH_STATE_DIR", runDir.str()}, {"KVFLASH_LOCK_DIR", runDir.str()}},
            runDir.str());
        ASSERT_EQ(kvflash.waitFor(60s), 0) << kvflash.out() << kvflash.err();
        EXPECT_NE(kvflash.out().find("Current Version:  " + p.version + "\n"), std::string::npos)
            << kvflash.out();
        EXPECT_NE(kvflash.out().find("Ready:            " + p.ready + "\n"), std::string::npos)
            << kvflash.out();
    }
    emu.signal(SIGTERM);
    ASSERT_EQ(emu.waitFor(10s), 0) << emu.err();
    for (size_t i = 0; i < endpoints.size(); ++i) {
        const std::string summary = "printer " + endpoints[i] + " connections=1 ";
        EXPECT_NE(emu.out().find(summary), std::string::npos) << emu.out();
        EXPECT_NE(emu.out().find("before=\"" + printers[i].version + "\" after=\"" +
                                 printers[i].version + "\" state=idle\n"),
                  std::string::npos)
            << emu.out();
    }
}

TEST(FleetProcess, AHostileFileIsRefusedWithItsLine) {
    if (buildDir().empty()) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    kv::testing::TempDir dir;
    const std::string id = " MFG:KV;MDL:ZOW3004F;FWV:V5.12;\n";
    ASSERT_TRUE(
        kv::testing::writeFile(dir.file("twice.txt"), "127.0.0.2:10001" + id + "127.0.0.2" + id));
    ASSERT_TRUE(
        kv::testing::writeFile(dir.file("far.txt"), "127.0.0.2:0" + id + "192.168.0.1" + id));
    ASSERT_TRUE(kv::testing::writeFile(dir.file("binary.txt"),
                                       "127.0.0.2:0" + id + "127.0.0.3:0 MFG:\x01" + id));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {"twice.txt", "twice.txt:2: 127.0.0.2:10001 is named twice"},
        {"far.txt", "far.txt:2: address 192.168.0.1 is not on loopback"},
        {"binary.txt", "binary.txt:2: binary data"},
        {"fifo", "fifo: not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ChildProcess emu(buildDir() + "/bin/kvprinter-emu", {"--fleet", dir.file(c.file)}, {},
                         dir.str());
        ASSERT_EQ(emu.waitFor(10s), 2);
        EXPECT_NE(emu.err().find(c.error), std::string::npos) << emu.err();
        EXPECT_EQ(emu.out(), "");
    }
}

}  // namespace
