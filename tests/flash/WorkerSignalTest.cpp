#include <gtest/gtest.h>

#include <thread>

#include "flash/WorkerSignal.h"

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

}  // namespace
}  // namespace kv
