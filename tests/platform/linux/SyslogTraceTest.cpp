// The trace's way to the system log: a line costs nothing when nobody
// listens, and a log that comes (back) is found.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <memory>
#include <string>

#include "platform/linux/SyslogTrace.h"
#include "tests/support/TempDir.h"

namespace kv::platform {
namespace {

// A system log's socket at `path`.
class LogListener {
public:
    explicit LogListener(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ::unlink(path.c_str());
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~LogListener() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    // The next message, if one is there now.
    std::optional<std::string> take() {
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0) return std::nullopt;
        return std::string(buffer, static_cast<size_t>(n));
    }

private:
    std::string path_;
    int fd_;
};

TEST(SyslogTrace, NoListenerIsTriedRarelyAndALogThatComesBackIsFound) {
    testing::TempDir dir;
    const std::string path = dir.file("log");
    uint64_t now = 1000;
    linux_impl::SyslogTrace trace(false, path, 10000, [&now] { return now; });

    trace.write("nobody listens\r\n");
    auto log = std::make_unique<LogListener>(path);
    // Not looked for again on every line: only once the retry time is up.
    trace.write("still not tried");
    EXPECT_EQ(log->take(), std::nullopt);
    now += 9999;
    trace.write("still not tried");
    EXPECT_EQ(log->take(), std::nullopt);
    now += 1;
    trace.write("found");
    const auto first = log->take();
    ASSERT_TRUE(first);
    // Priority user.debug, "Mmm dd hh:mm:ss ", ident[pid]: the line.
    const std::string tail = "kvflash[" + std::to_string(::getpid()) + "]: found";
    ASSERT_EQ(first->size(), 4 + 16 + tail.size()) << *first;
    EXPECT_EQ(first->substr(0, 4), "<15>");
    EXPECT_EQ(first->substr(4 + 16), tail);
    EXPECT_EQ(first->substr(4 + 7, 8).find_first_not_of("0123456789:"), std::string::npos)
        << *first;
    trace.write("kept\r\n");
    EXPECT_NE(log->take().value_or("").find("]: kept\r\n"), std::string::npos);

    // The log daemon restarts: the next line finds the new one at once.
    log.reset();
    log = std::make_unique<LogListener>(path);
    trace.write("after the restart");
    EXPECT_NE(log->take().value_or("").find("]: after the restart"), std::string::npos);
}

}  // namespace
}  // namespace kv::platform
