#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "state/WorkerSignal.h"

namespace kv {
namespace {

TEST(WorkerSignal, EachWaitTakesOneEnd) {
    WorkerSignal signal;
    EXPECT_FALSE(signal.waitForWorkerEnd(std::chrono::milliseconds(0))) << "nothing ended yet";

    std::thread worker([&signal] { signal.notifyEnded(); });
    EXPECT_TRUE(signal.waitForWorkerEnd());
    worker.join();
    EXPECT_FALSE(signal.waitForWorkerEnd(std::chrono::milliseconds(0))) << "that end was taken";

    // Ends that came before the waits still count, one each.
    signal.notifyEnded();
    signal.notifyEnded();
    EXPECT_TRUE(signal.waitForWorkerEnd(std::chrono::milliseconds(0)));
    EXPECT_TRUE(signal.waitForWorkerEnd(std::chrono::milliseconds(0)));
    EXPECT_FALSE(signal.waitForWorkerEnd(std::chrono::milliseconds(0)));
    EXPECT_EQ(signal.endedCount(), 3u);
}

// The exit's wait goes by the flag, not by counting ends: an end nobody
// waited for belongs to an earlier worker, not to the one running now.
TEST(WorkerSignal, WaitWhileRunningIgnoresEarlierEnds) {
    WorkerSignal signal;
    std::atomic<bool> running{true};
    signal.notifyEnded(running);
    EXPECT_FALSE(running.load());
    EXPECT_EQ(signal.endedCount(), 1u);

    running = true;  // the next worker
    EXPECT_FALSE(signal.waitWhileRunning(running, std::chrono::milliseconds(0)))
        << "the earlier end was taken for this worker's";

    std::thread worker([&] { signal.notifyEnded(running); });
    EXPECT_TRUE(signal.waitWhileRunning(running));
    worker.join();
    EXPECT_TRUE(signal.waitWhileRunning(running, std::chrono::milliseconds(0)));
}

// A waiter that sees the flag clear may drop the signal at once: the worker
// is done with it by then (run under the address and thread sanitizers).
TEST(WorkerSignal, StateMayGoAsSoonAsTheWaitReturns) {
    struct Shared {
        std::atomic<bool> running{true};
        WorkerSignal signal;
    };
    for (int round = 0; round < 200; ++round) {
        auto shared = std::make_unique<Shared>();
        Shared* raw = shared.get();
        std::thread worker([raw] { raw->signal.notifyEnded(raw->running); });
        while (!shared->signal.waitWhileRunning(shared->running, std::chrono::seconds(1))) {
        }
        shared.reset();
        worker.join();
    }
}

}  // namespace
}  // namespace kv
