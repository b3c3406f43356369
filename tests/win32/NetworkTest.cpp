#include <gtest/gtest.h>
#include <winsock2.h>

#include <atomic>
#include <thread>
#include <vector>

#include "link/Ethernet.h"
#include "platform/sim/ScriptedUi.h"
#include "platform/win32/WinsockNetwork.h"
#include "state/PrinterData.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

using platform::NetworkBounds;
using platform::SocketHandle;
using platform::win32::WinsockNetwork;

const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(net.startup()); }
    void TearDown() override { net.cleanup(); }

    // A connected pair on the loopback: client and the server's end.
    void connectPair(SocketHandle& client, SocketHandle& server) {
        const SocketHandle listener = net.listen(kLoopback, 0);
        ASSERT_TRUE(listener.valid()) << net.lastError();
        client = net.openTcp();
        ASSERT_TRUE(net.connect(client, kLoopback, net.localPort(listener))) << net.lastError();
        server = net.accept(listener);
        ASSERT_TRUE(server.valid()) << net.lastError();
        net.close(listener);
    }

    WinsockNetwork net{NetworkBounds{2000, 300, 300}};
};

TEST_F(WinsockTest, RefusedConnectFailsAtOnceWithItsCode) {
    const SocketHandle listener = net.listen(kLoopback, 0);
    const uint16_t port = net.localPort(listener);
    net.close(listener);
    const SocketHandle s = net.openTcp();
    const int64_t start = nowMs();
    EXPECT_FALSE(net.connect(s, kLoopback, port));
    EXPECT_EQ(net.lastError(), WSAECONNREFUSED);
    EXPECT_LT(nowMs() - start, 1500);
    net.close(s);
    EXPECT_EQ(net.openCount(), 0u);
}

// The sweep over one select(): each address its answer, in their order;
// a stop before the first wait leaves them untried.
TEST_F(WinsockTest, SweepAnswersEachAddressInOrder) {
    using A = platform::ConnectAnswer;
    const SocketHandle listener = net.listen(kLoopback, 0), gone = net.listen(kLoopback, 0);
    const platform::ConnectTarget refusing{kLoopback, net.localPort(gone)};
    const platform::ConnectTarget accepting{kLoopback, net.localPort(listener)};
    net.close(gone);
    platform::SweepRules rules;
    rules.timeoutMs = 3000;
    EXPECT_EQ(net.sweepConnects({accepting, refusing, accepting}, rules),
              (std::vector{A::Accepted, A::Refused, A::Accepted}));
    rules.stopped = [] { return true; };
    EXPECT_EQ(net.sweepConnects({accepting}, rules), std::vector{A::Untried});
    net.close(listener);
    EXPECT_EQ(net.openCount(), 0u);
}

// Winsock's session is the process's: a cleanup from an object that never
// started one (the program's end cleans up whether or not it searched)
// leaves another object's sockets working.
TEST_F(WinsockTest, CleanupWithoutItsOwnStartupLeavesOthersConnected) {
    SocketHandle client;
    SocketHandle server;
    connectPair(client, server);
    WinsockNetwork idle;
    idle.cleanup();
    idle.cleanup();
    const uint8_t byte = 0x42;
    EXPECT_EQ(net.send(client, &byte, 1), 1) << net.lastError();
    uint8_t got = 0;
    EXPECT_EQ(net.receive(server, &got, 1), 1) << net.lastError();
    EXPECT_EQ(got, byte);
    net.close(client);
    net.close(server);
}

// A silent peer: the receive gives up at its bound; a peer that takes
// nothing: the send gives up at its bound, counted from the call's start
// even though the first bytes went out at once.
TEST_F(WinsockTest, ReceiveAndSendStopAtTheirBounds) {
    SocketHandle client;
    SocketHandle server;
    ASSERT_NO_FATAL_FAILURE(connectPair(client, server));

    uint8_t byte = 0;
    int64_t start = nowMs();
    EXPECT_EQ(net.receive(client, &byte, 1), -1);
    int64_t took = nowMs() - start;
    EXPECT_EQ(net.lastError(), WSAETIMEDOUT);
    EXPECT_GE(took, 290);
    EXPECT_LT(took, 1500);

    const std::vector<uint8_t> lots(64u << 20, 0x55);
    start = nowMs();
    const int64_t sent = net.send(client, lots.data(), lots.size());
    took = nowMs() - start;
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int64_t>(lots.size()));
    EXPECT_GE(took, 290);
    EXPECT_LT(took, 1500);

    // What went out arrives whole and in order.
    const uint8_t hello[] = {'h', 'i'};
    SocketHandle c2;
    SocketHandle s2;
    ASSERT_NO_FATAL_FAILURE(connectPair(c2, s2));
    EXPECT_EQ(net.send(c2, hello, 2), 2);
    uint8_t got[2] = {};
    EXPECT_EQ(net.receive(s2, got, 2), 2);
    EXPECT_EQ(got[1], 'i');
    net.close(c2);
    EXPECT_EQ(net.receive(s2, got, 2), 0);  // the peer closed
    for (SocketHandle s : {client, server, s2}) net.close(s);
}

// The emulator's server waits in accept() and in receives; shutting the
// socket down from another thread must end those waits.
TEST_F(WinsockTest, ShutdownEndsWaitsOnOtherThreads) {
    const SocketHandle listener = net.listen(kLoopback, 0);
    std::atomic<bool> accepted{true};
    std::thread waiter([&] { accepted = net.accept(listener).valid(); });
    net.shutdown(listener);
    waiter.join();
    EXPECT_FALSE(accepted.load());
    net.close(listener);

    SocketHandle client;
    SocketHandle server;
    ASSERT_NO_FATAL_FAILURE(connectPair(client, server));
    net.setBounds(NetworkBounds{2000, 20000, 2000});
    std::atomic<int64_t> received{-2};
    const int64_t start = nowMs();
    std::thread reader([&] {
        uint8_t b = 0;
        received = net.receive(server, &b, 1);
    });
    EXPECT_FALSE(net.waitReadable(server, 100));
    net.shutdown(server);
    reader.join();
    EXPECT_EQ(received.load(), 0);
    EXPECT_LT(nowMs() - start, 5000);
    net.close(client);
    net.close(server);
}

// The Ethernet link's own exchanges over Winsock against the emulator that
// the Linux side runs (kvprinter-emu, port in KVTEST_EMU_PORT).
TEST(WinsockEmulator, IdentifiesAndAsksStatusThroughTheEthernetLink) {
    const auto port = environment("KVTEST_EMU_PORT");
    if (!port) GTEST_SKIP() << "needs kvprinter-emu on the Linux side (tests/wine)";
    WinsockNetwork net;
    platform::RealClock clock;
    platform::NullTrace trace;
    platform::sim::ScriptedUi ui;
    platform::Services sys;
    sys.wired.network = &net;
    sys.wired.clock = &clock;
    sys.wired.trace = &trace;
    sys.wired.ui = &ui;
    ASSERT_TRUE(net.startup());
    PrinterData printer;
    SocketHandle socket;
    ASSERT_TRUE(openSocket(sys, socket, "127", "0", "0", "1", *port, printer)) << net.lastError();
    EXPECT_EQ(printer.portType, PORT_TYPE_ETHERNET);
    ASSERT_TRUE(GetPrinterIDEthernet(sys, socket, printer));
    EXPECT_EQ(printer.deviceId, environment("KVTEST_EMU_ID").value_or("?"));
    EXPECT_TRUE(isPrinterReadyEthernet(sys, socket, printer));
    closeSocket(sys, socket);

    // A port nobody listens on: refused, and the link says so.
    PrinterData other;
    SocketHandle refused;
    EXPECT_FALSE(openSocket(sys, refused, "127", "0", "0", "1",
                            environment("KVTEST_CLOSED_PORT").value_or("1"), other));
    EXPECT_EQ(net.lastError(), WSAECONNREFUSED);
    EXPECT_EQ(other.portType, PORT_TYPE_NONE);
    net.cleanup();
}

}  // namespace
}  // namespace kv::testing
