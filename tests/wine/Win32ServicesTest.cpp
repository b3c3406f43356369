#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "tests/wine/Emulator.h"
#include "tests/wine/WineWorld.h"

namespace kv::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTestProgram = "kvtest_win32.exe";

class Win32Services : public ::testing::Test {
protected:
    void SetUp() override {
        KV_REQUIRE_WINE();
        ASSERT_TRUE(wine.ready()) << wine.startError();
    }
    RunResult runTests(const std::string& filter,
                       const std::map<std::string, std::string>& environment = {}) {
        return wine.run(kTestProgram, "--gtest_filter=" + shellWord(filter), environment);
    }
    WineWorld wine;
};

std::string shown(const RunResult& r) { return r.out + r.err; }

// Everything that needs no partner on the Linux side: lock, files, Winsock
// on the loopback, SetupDi, device I/O on a pipe, threads, journal.
TEST_F(Win32Services, StandAlone) {
    // The window's tests need a display: NativeWindow runs them.
    const RunResult r = runTests(
        "-WinsockEmulator.*:WinspoolSpooler.*:Win32DeviceIoLpt.*:DebugStringTrace.*:"
        "ConsoleCtrlTermination.TakesARealCtrlC:ConsoleScreen.*:DialogWindow.*:FleetWindow.*:"
        "KvflashProgram.*");
    EXPECT_TRUE(allPassed(r)) << shown(r);
    EXPECT_EQ(r.out.find("SKIPPED"), std::string::npos) << shown(r);
}

// A loopback port nobody listens on: bound for a moment, then let go.
int closedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &size);
    ::close(s);
    return ntohs(at.sin_port);
}

constexpr const char* kEmuDeviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";

TEST_F(Win32Services, EthernetLinkOverWinsockReachesTheLinuxEmulator) {
    Emulator emu(std::string("--device-id ") + shellWord(kEmuDeviceId));
    ASSERT_GT(emu.port(), 0);
    const RunResult r =
        runTests("WinsockEmulator.*", {{"KVTEST_EMU_PORT", std::to_string(emu.port())},
                                       {"KVTEST_EMU_ID", kEmuDeviceId},
                                       {"KVTEST_CLOSED_PORT", std::to_string(closedPort())}});
    EXPECT_TRUE(allPassed(r)) << shown(r);
    const std::string summary = emu.stop();
    EXPECT_NE(summary.find("connections served: 1"), std::string::npos) << summary;
}

TEST_F(Win32Services, SpoolerSeesThePrivateSchedulersQueuesAndLeavesThemAsTheyWere) {
    if (const auto why = CupsWorld::missingTools()) GTEST_SKIP() << *why;
    CupsWorld cups;
    ASSERT_TRUE(cups.running()) << cups.startError();
    // Queues on the scheduler's stand-in local backends only.
    const std::string add = cups.env() + "lpadmin -p ";
    const RunResult made =
        run(add + "kv_usb -E -v 'usb://KV/ZOW3004F%20PT?serial=1001' -P " +
            cups.ppdFor("KV ZOW3004F PT") + " && " + add + "kv_lpt -E -v parallel:/dev/lp0 -P " +
            cups.ppdFor("KV ZOR12A PT") + " && " + add +
            "acme_usb -E -v 'usb://Acme/LaserJet%209?serial=2002' -P " +
            cups.ppdFor("Acme LaserJet 9"));
    ASSERT_EQ(made.code, 0) << made.err;
    const auto before = cups.devices();
    const RunResult r = runTests("WinspoolSpooler.*", {{"CUPS_SERVER", cups.socket()},
                                                       {"KVTEST_QUEUES", "kv_usb,kv_lpt,acme_usb"},
                                                       {"KVTEST_SWITCH_QUEUE", "kv_usb"}});
    EXPECT_TRUE(allPassed(r)) << shown(r);
    std::printf("%s", r.out.c_str());
    // Wine keeps the switch in its registry: the scheduler never changes.
    EXPECT_EQ(cups.devices(), before);
    EXPECT_EQ(cups.ipp("kv_usb").state, "idle");
}

// dosdevices\lpt1 pointing at a FIFO this side reads: what LPT1: is to a
// Windows program in the prefix.
TEST_F(Win32Services, ParallelPortOnAFifoCarriesTheWrites) {
    const fs::path fifo = fs::path(WineWorld::prefix()).parent_path() /
                          ("lpt1-" + std::to_string(::getpid()) + ".fifo");
    const fs::path link = fs::path(WineWorld::prefix()) / "dosdevices" / "lpt1";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    fs::remove(link);
    fs::create_symlink(fifo, link);

    std::atomic<bool> stop{false};
    std::string received;
    std::thread collect([&] {
        char buffer[256];
        while (!stop.load()) {
            pollfd p{reader, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n > 0) received.append(buffer, static_cast<size_t>(n));
        }
    });
    const std::string marker = "KV-LPT1-" + std::to_string(::getpid());
    const RunResult r = runTests("Win32DeviceIoLpt.*", {{"KVTEST_LPT1_MARKER", marker}});
    stop = true;
    collect.join();
    ::close(reader);
    fs::remove(link);
    fs::remove(fifo);
    EXPECT_TRUE(allPassed(r)) << shown(r);
    EXPECT_EQ(received, marker);
    std::printf("%s", r.out.c_str());
}

TEST_F(Win32Services, TraceLinesReachTheDebugStringService) {
    const std::string line = "kvtest trace " + std::to_string(::getpid());
    const RunResult r = runTests("DebugStringTrace.*",
                                 {{"KVTEST_TRACE_LINE", line}, {"WINEDEBUG", "-all,+debugstr"}});
    EXPECT_TRUE(allPassed(r)) << shown(r);
    // Wine shows each debug string with its escapes.
    EXPECT_NE(r.err.find(line + "\\r\\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("CreateSingleInstance = m_dwLastError = B7, ERROR_ALREADY_EXISTS = B7"),
              std::string::npos)
        << r.err;
}

// And the console's window is what the fleet's rows are fitted to.
TEST_F(Win32Services, CtrlCOnARealConsoleReachesTheHandler) {
    const RunResult r = wine.runOnTerminal(
        kTestProgram, "--gtest_filter=ConsoleCtrlTermination.TakesARealCtrlC:ConsoleScreen.*");
    EXPECT_EQ(r.code, 0) << shown(r);
}

}  // namespace
}  // namespace kv::testing
