#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/ExecutionStateInhibitor.h"

namespace kv::testing {
namespace {

using platform::win32::ExecutionStateInhibitor;

constexpr unsigned long kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
constexpr unsigned long kCleared = ES_CONTINUOUS;

// Every path: the state is set and cleared by one thread of the
// inhibitor's, never the caller's, and on a refusal nothing is cleared.
// Wine keeps one execution state per process and shows it only by setting
// it, so the calls are seen through the inhibitor's seam.
TEST(ExecutionStateInhibitor, TakenAndReleasedOnItsOwnThreadOnEveryPath) {
    const struct {
        const char* name;
        bool grant;
        int acquires;
        bool releaseFirst;  // else the destructor releases
        std::vector<unsigned long> states;
    } cases[] = {
        {"acquire, release", true, 1, true, {kHeld, kCleared}},
        {"acquire twice: one hold", true, 2, true, {kHeld, kCleared}},
        {"destroyed while held", true, 1, false, {kHeld, kCleared}},
        {"refused: nothing to clear", false, 1, true, {kHeld}},
        {"refused twice: tried again", false, 2, false, {kHeld, kHeld}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::mutex mutex;
        std::vector<std::pair<DWORD, unsigned long>> calls;  // thread, state
        std::optional<ExecutionStateInhibitor> inhibitor(std::in_place, [&](unsigned long s) {
            std::lock_guard lock(mutex);
            calls.emplace_back(::GetCurrentThreadId(), s);
            ::SetLastError(ERROR_ACCESS_DENIED);
            return c.grant ? ES_CONTINUOUS : 0ul;
        });
        for (int i = 0; i < c.acquires; ++i) {
            const auto taken = inhibitor->acquire("kvflash", "Flashing printer firmware");
            EXPECT_EQ(taken.reason(), c.grant ? "" : "SetThreadExecutionState refused (error 5)");
        }
        if (c.releaseFirst) {
            inhibitor->release();
            inhibitor->release();  // harmless when nothing is held
        }
        inhibitor.reset();
        std::vector<unsigned long> states;
        for (const auto& [thread, state] : calls) {
            states.push_back(state);
            EXPECT_NE(thread, ::GetCurrentThreadId());
            if (state == kCleared) {
                EXPECT_EQ(thread, calls.front().first);
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
