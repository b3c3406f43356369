#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "link/InetAddr.h"
#include "platform/linux/PosixNetwork.h"

namespace kv::platform::linux_impl {
namespace {

const uint32_t kLoopback = inetAddr("127.0.0.1");

TEST(PosixNetwork, ConnectGivesUpAtItsBound) {
    PosixNetwork net({150, 150, 150});
    const SocketHandle listener = net.listen(kLoopback, 0);
    ASSERT_TRUE(listener.valid());
    const uint16_t port = net.localPort(listener);
    // Nobody accepts: once the listen queue is full the handshake goes
    // unanswered and only the bound ends the connect.
    bool timedOut = false;
    for (int i = 0; i < 40 && !timedOut; ++i) {
        const SocketHandle s = net.openTcp();
        ASSERT_TRUE(s.valid());
        if (!net.connect(s, kLoopback, port)) {
            EXPECT_EQ(net.lastError(), ETIMEDOUT);
            timedOut = true;
        }
    }
    EXPECT_TRUE(timedOut);
}

// The sweep tells each address's answer once, in the targets' order, gives
// up what is in flight when stopped, and leaves no descriptor and no raised
// limit behind.
TEST(PosixNetwork, SweepAnswersEachAddressAndStopsAtOnce) {
    PosixNetwork net({150, 150, 150});
    const SocketHandle open = net.listen(kLoopback, 0);
    const SocketHandle full = net.listen(kLoopback, 0);
    const SocketHandle gone = net.listen(kLoopback, 0);
    const ConnectTarget refusing{kLoopback, net.localPort(gone)};
    net.close(gone);
    // Nobody accepts on `full`: fill its queue until a connect goes unanswered.
    bool filled = false;
    for (int i = 0; i < 40 && !filled; ++i) {
        filled = !net.connect(net.openTcp(), kLoopback, net.localPort(full));
    }
    ASSERT_TRUE(filled);
    const ConnectTarget accepting{kLoopback, net.localPort(open)};
    const ConnectTarget silent{kLoopback, net.localPort(full)};
    const auto openFds = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const auto fdsBefore = openFds();
    // A soft limit below what the sweep wants: raised for it, then put back.
    struct Limit {
        rlimit original{}, lowered{};
        ~Limit() { ::setrlimit(RLIMIT_NOFILE, &original); }
    } limit;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit.original), 0);
    limit.lowered = limit.original;
    limit.lowered.rlim_cur = std::min<rlim_t>(limit.original.rlim_cur, fdsBefore + 200);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit.lowered), 0);

    using A = ConnectAnswer;
    const struct {
        std::vector<ConnectTarget> targets;
        uint32_t timeoutMs;
        bool stops;  // after the first wait
        std::vector<ConnectAnswer> answers;
    } cases[] = {
        {{accepting, refusing, silent, accepting, silent},
         300,
         false,
         {A::Accepted, A::Refused, A::Silent, A::Accepted, A::Silent}},
        // A minute's bound, yet the stop ends it at once.
        {{silent, silent}, 60000, true, {A::Untried, A::Untried}},
    };
    for (const auto& c : cases) {
        std::vector<ConnectAnswer> heard(c.targets.size(), A::Untried);
        int looks = 0;
        SweepRules rules;
        rules.timeoutMs = c.timeoutMs;
        if (c.stops) rules.stopped = [&] { return looks++ > 0; };
        rules.answered = [&](size_t i, ConnectAnswer a) {
            EXPECT_EQ(std::exchange(heard.at(i), a), A::Untried) << "told twice: " << i;
        };
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(net.sweepConnects(c.targets, rules), c.answers);
        EXPECT_EQ(heard, c.answers);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(openFds(), fdsBefore);
        rlimit after{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
        EXPECT_EQ(after.rlim_cur, limit.lowered.rlim_cur);
    }
}

TEST(PosixNetwork, ReceiveGivesUpAtItsBoundAndSeesThePeerClose) {
    PosixNetwork net({2000, 100, 2000});
    const SocketHandle listener = net.listen(kLoopback, 0);
    const SocketHandle client = net.openTcp();
    ASSERT_TRUE(net.connect(client, kLoopback, net.localPort(listener)));
    const SocketHandle peer = net.accept(listener);
    ASSERT_TRUE(peer.valid());

    uint8_t buffer[8];
    EXPECT_LT(net.receive(client, buffer, sizeof buffer), 0);
    EXPECT_EQ(net.lastError(), ETIMEDOUT);

    const uint8_t hello[] = {'h', 'i'};
    EXPECT_EQ(net.send(peer, hello, 2), 2);
    EXPECT_EQ(net.receive(client, buffer, sizeof buffer), 2);
    net.close(peer);
    EXPECT_EQ(net.receive(client, buffer, sizeof buffer), 0);

    // Sending to a closed peer fails instead of raising a signal.
    int64_t result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = net.send(client, hello, 2);
        net.waitReadable(client, 10);
    }
    EXPECT_EQ(result, -1);
    net.close(client);
    net.close(listener);
    EXPECT_EQ(net.openCount(), 0u);
}

// A peer that keeps taking a little at a time must not stretch the send
// bound: it covers the whole call, not each wait for room.
TEST(PosixNetwork, SendEndsAtItsBoundWhileAPeerTakesALittleAtATime) {
    constexpr uint32_t kBoundMs = 200;
    PosixNetwork net({2000, 2000, kBoundMs});
    const SocketHandle listener = net.listen(kLoopback, 0);
    const SocketHandle client = net.openTcp();
    ASSERT_TRUE(net.connect(client, kLoopback, net.localPort(listener)));
    const SocketHandle peer = net.accept(listener);
    ASSERT_TRUE(peer.valid());
    std::thread reader([&] {
        std::vector<uint8_t> buffer(64 * 1024);
        while (net.receive(peer, buffer.data(), buffer.size()) > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the peer's pace
        }
    });

    // Far more than the peer takes within the bound at its pace.
    const std::vector<uint8_t> lots(32u << 20, 0x55);
    SendBudget budget{kBoundMs};
    const auto began = std::chrono::steady_clock::now();
    const int64_t sent = net.sendWithin(client, lots.data(), lots.size(), budget);
    const auto took = std::chrono::steady_clock::now() - began;
    // The budget is spent: a further send under it takes nothing.
    const int64_t more = net.sendWithin(client, lots.data(), lots.size(), budget);
    const int moreError = net.lastError();
    const auto tookMore = std::chrono::steady_clock::now() - began - took;
    net.shutdown(peer);
    reader.join();

    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int64_t>(lots.size()));
    EXPECT_GE(took, std::chrono::milliseconds(kBoundMs - 10));
    EXPECT_LT(took, std::chrono::milliseconds(kBoundMs + 400));
    EXPECT_EQ(budget.leftMs, 0u);
    EXPECT_EQ(more, -1);
    EXPECT_EQ(moreError, ETIMEDOUT);
    EXPECT_LT(tookMore, std::chrono::milliseconds(50));
    net.close(client);
    net.close(peer);
    net.close(listener);
}

TEST(PosixNetwork, ShutdownWakesAWaitingAccept) {
    PosixNetwork net;
    const SocketHandle listener = net.listen(kLoopback, 0);
    SocketHandle accepted{7};
    std::thread waiter([&] { accepted = net.accept(listener); });
    net.shutdown(listener);
    waiter.join();
    EXPECT_FALSE(accepted.valid());
    EXPECT_TRUE(net.waitReadable(listener, 0)) << "a shut-down socket never blocks";
    net.close(listener);
}

TEST(PosixNetwork, StaleAndInvalidHandlesFailCleanly) {
    PosixNetwork net;
    const SocketHandle s = net.openTcp();
    net.close(s);
    net.close(s);
    uint8_t byte = 0;
    EXPECT_EQ(net.send(s, &byte, 1), -1);
    EXPECT_EQ(net.receive(SocketHandle::invalid(), &byte, 1), -1);
    EXPECT_EQ(net.lastError(), EBADF);
    EXPECT_FALSE(net.connect(s, kLoopback, 1));
    const SocketHandle t = net.openTcp();
    EXPECT_NE(t, s) << "handles are never reused";
    net.close(t);
}

}  // namespace
}  // namespace kv::platform::linux_impl
