#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/win32/ExecutionStateInhibitor.h"

namespace kv::testing {
namespace {

using platform::win32::ExecutionStateInhibitor;

// Wine keeps one execution state for the whole process and reads it only by
// setting it, so the thread that sets what is seen through the seam.
struct StateCalls {
    struct Call {
        DWORD thread;
        unsigned long state;
    };
    ExecutionStateInhibitor::SetState setter(bool grant) {
        return [this, grant](unsigned long state) -> unsigned long {
            std::lock_guard lock(mutex);
            calls.push_back({::GetCurrentThreadId(), state});
            if (grant) return ES_CONTINUOUS;
            ::SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        };
    }
    std::vector<Call> taken() {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::mutex mutex;
    std::vector<Call> calls;
};

constexpr unsigned long kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
constexpr unsigned long kCleared = ES_CONTINUOUS;

// Every path: the state is set and cleared by one thread that is not the
// caller's and that has ended when release (or the destructor) returns.
TEST(ExecutionStateInhibitor, TakenAndReleasedOnItsOwnThreadOnEveryPath) {
    enum class End { Release, Destroy };
    const struct {
        const char* name;
        bool grant;
        int acquires;
        End end;
        std::vector<unsigned long> states;
    } cases[] = {
        {"acquire, release", true, 1, End::Release, {kHeld, kCleared}},
        {"acquire twice: one hold", true, 2, End::Release, {kHeld, kCleared}},
        {"destroyed while held", true, 1, End::Destroy, {kHeld, kCleared}},
        {"refused: nothing to clear", false, 1, End::Release, {kHeld}},
        {"refused twice: tried again", false, 2, End::Destroy, {kHeld, kHeld}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StateCalls calls;
        std::optional<ExecutionStateInhibitor> inhibitor(std::in_place, calls.setter(c.grant));
        for (int i = 0; i < c.acquires; ++i) {
            const auto taken = inhibitor->acquire("kvflash", "Flashing printer firmware");
            EXPECT_EQ(static_cast<bool>(taken), c.grant);
            if (!c.grant) {
                EXPECT_EQ(taken.reason(), "SetThreadExecutionState refused (error 5)");
            }
        }
        if (c.end == End::Release) {
            inhibitor->release();
            inhibitor->release();  // harmless when nothing is held
        }
        inhibitor.reset();
        const auto taken = calls.taken();
        std::vector<unsigned long> states;
        for (const auto& call : taken) {
            states.push_back(call.state);
            EXPECT_NE(call.thread, ::GetCurrentThreadId());
            // The clearing call comes from the thread that set the state.
            if (call.state == kCleared) {
                EXPECT_EQ(call.thread, taken.front().thread);
            }
            // Its thread is gone: no handle to it opens any more, or it has ended.
            HANDLE h = ::OpenThread(SYNCHRONIZE, FALSE, call.thread);
            if (h) {
                EXPECT_EQ(::WaitForSingleObject(h, 0), WAIT_OBJECT_0);
                ::CloseHandle(h);
            }
        }
        EXPECT_EQ(states, c.states);
    }
    // The system's own call, as the program makes it.
    ExecutionStateInhibitor real;
    const auto taken = real.acquire("kvflash", "Flashing printer firmware");
    EXPECT_TRUE(taken) << taken.reason();
    real.release();
}

}  // namespace
}  // namespace kv::testing
