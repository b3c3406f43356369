// The maintenance commands as a user stops them: Ctrl-C or SIGTERM ends each
// at once with 128 + the signal, even while it waits for a peer that never
// answers, and --restore-queues leaves its journal whole.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/linux/ChildProcess.h"

namespace {

using namespace std::chrono_literals;

// Takes connections on loopback and never says a word.
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentListener() {
        for (int fd : accepted_) ::close(fd);
        ::close(fd_);
    }
    int port() const { return port_; }
    // True once a peer connected within the bound.
    bool awaitPeer(std::chrono::milliseconds bound) {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(bound.count())) <= 0) return false;
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return false;
        accepted_.push_back(fd);
        return true;
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> accepted_;
};

using kv::testing::readFile;

const std::string kJournal =
    "kvflash print-queue journal 1\nkv_usb\tUSB001\tusb://KV/ZOW3004F?serial=1\t1\n";

TEST(MaintenanceSignals, EachCommandEndsAtOnceWith128PlusTheSignal) {
    const char* build = std::getenv("KVFLASH_BUILD_DIR");
    if (!build) GTEST_SKIP() << "KVFLASH_BUILD_DIR is not set (run through ctest)";
    const struct {
        const char* name;
        std::vector<std::string> arguments;  // "@PORT@" is the silent peer's port
        bool cups;                           // the peer stands in for the print scheduler
        int signalNumber;
    } cases[] = {
        {"identify", {"--identify", "127.0.0.1:@PORT@"}, false, SIGTERM},
        {"identify", {"--identify", "127.0.0.1:@PORT@"}, false, SIGINT},
        {"list-queues", {"--list-queues"}, true, SIGINT},
        {"restore-queues", {"--restore-queues"}, true, SIGTERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.signalNumber));
        kv::testing::TempDir dir;
        SilentListener peer;
        ASSERT_NE(peer.port(), 0);
        const std::string journal = dir.file("print-queues.journal");
        { std::ofstream(journal, std::ios::binary) << kJournal; }
        std::vector<std::string> arguments;
        for (std::string a : c.arguments) {
            const size_t at = a.find("@PORT@");
            if (at != std::string::npos) a.replace(at, 6, std::to_string(peer.port()));
            arguments.push_back(a);
        }
        std::map<std::string, std::string> environment{{"KVFLASH_STATE_DIR", dir.path().string()},
                                                       {"KVFLASH_LOCK_DIR", dir.path().string()}};
        if (c.cups) environment["CUPS_SERVER"] = "127.0.0.1:" + std::to_string(peer.port());
        kv::testing::ChildProcess kvflash(std::string(build) + "/bin/kvflash", arguments,
                                          environment, dir.path().string());
        ASSERT_TRUE(kvflash.started());
        // The command is now waiting for an answer that never comes.
        ASSERT_TRUE(peer.awaitPeer(20s)) << kvflash.err();
        kvflash.signal(c.signalNumber);
        // Far sooner than any of its own bounds (10 s and more) would end it.
        const auto code = kvflash.waitFor(5s);
        ASSERT_TRUE(code.has_value()) << "still running after the signal";
        EXPECT_EQ(*code, 128 + c.signalNumber) << kvflash.out() << kvflash.err();
        EXPECT_EQ(readFile(journal), kJournal);
        if (std::string(c.name) == "identify") {
            EXPECT_NE(kvflash.out().find("Status:           Interrupted by signal " +
                                         std::to_string(c.signalNumber)),
                      std::string::npos)
                << kvflash.out();
        }
        if (std::string(c.name) == "restore-queues") {
            EXPECT_NE(kvflash.err().find("keeps every print queue not yet restored"),
                      std::string::npos)
                << kvflash.err();
        }
    }
}

}  // namespace
