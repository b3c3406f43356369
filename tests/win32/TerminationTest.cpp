#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <csignal>
#include <vector>

#include "platform/win32/ConsoleCtrlTermination.h"

namespace kv::testing {
namespace {

using platform::win32::ConsoleCtrlTermination;

TEST(ConsoleCtrlTermination, HandsEachEndRequestToTheHandlerAsItsSignal) {
    // After a closed console, logoff or shutdown the system ends the
    // process once the handler returns: those cannot wait.
    struct Case {
        DWORD event;
        int signal;
        bool canWait;
    };
    const Case cases[] = {{CTRL_C_EVENT, SIGINT, true},
                          {CTRL_BREAK_EVENT, SIGTERM, true},
                          {CTRL_CLOSE_EVENT, SIGTERM, false},
                          {CTRL_LOGOFF_EVENT, SIGTERM, false},
                          {CTRL_SHUTDOWN_EVENT, SIGTERM, false}};
    ConsoleCtrlTermination termination;
    std::vector<platform::EndRequest> seen;
    termination.watch([&](const platform::EndRequest& request) { seen.push_back(request); });
    for (const Case& c : cases) EXPECT_TRUE(termination.deliver(c.event));
    EXPECT_FALSE(termination.deliver(77));
    termination.stop();
    // Stopped: the system's default handling ends the program instead.
    EXPECT_FALSE(termination.deliver(CTRL_C_EVENT));
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].signalNumber, cases[i].signal);
        EXPECT_EQ(seen[i].canWait, cases[i].canWait);
    }
}

// A real Ctrl+C to this console's process group reaches the handler on the
// system's own thread.
TEST(ConsoleCtrlTermination, TakesARealCtrlC) {
    if (!::GetConsoleWindow() && !::AttachConsole(ATTACH_PARENT_PROCESS)) {
        DWORD mode = 0;
        if (!::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode)) {
            GTEST_SKIP() << "no console to send Ctrl+C in";
        }
    }
    ConsoleCtrlTermination termination;
    HANDLE arrived = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> signal{0};
    std::atomic<DWORD> thread{0};
    termination.watch([&](const platform::EndRequest& request) {
        signal = request.signalNumber;
        thread = ::GetCurrentThreadId();
        ::SetEvent(arrived);
    });
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    ASSERT_EQ(::WaitForSingleObject(arrived, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(signal.load(), SIGINT);
    EXPECT_NE(thread.load(), ::GetCurrentThreadId());
    termination.stop();
    ::CloseHandle(arrived);
}

}  // namespace
}  // namespace kv::testing
