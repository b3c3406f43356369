#include <gtest/gtest.h>
#include <windows.h>

#include "flash/FlashWorker.h"
#include "platform/win32/Win32Threads.h"

namespace kv::testing {
namespace {

using platform::ThreadOptions;
using platform::win32::Win32Threads;

// The worker's thread: the asked reservation at least (the transfer's
// deepest frames need it), and the asked priority.
TEST(Win32Threads, GivesTheAskedStackAndPriority) {
    struct Case {
        size_t stackBytes;
        bool above;
        int priority;
    };
    const Case cases[] = {
        {kWorkerStackBytes, true, THREAD_PRIORITY_ABOVE_NORMAL},
        {8u << 20, false, THREAD_PRIORITY_NORMAL},  // above the program's own
    };
    EXPECT_GE(Win32Threads::imageStackReserve(), kWorkerStackBytes);
    Win32Threads threads;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stackBytes);
        HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Win32Threads::Facts facts;
        ASSERT_TRUE(threads.startDetached(
            [&] {
                facts = Win32Threads::currentThreadFacts();
                ::SetEvent(done);
            },
            ThreadOptions{c.stackBytes, c.above}));
        ASSERT_EQ(::WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
        ::CloseHandle(done);
        EXPECT_GE(facts.stackReserve, c.stackBytes);
        EXPECT_EQ(facts.priority, c.priority);
    }
    EXPECT_FALSE(threads.startDetached({}, ThreadOptions{}));
}

}  // namespace
}  // namespace kv::testing
