#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/linux/PthreadThreads.h"
#include "platform/sim/SimThreads.h"

namespace kv::platform {
namespace {

// What the body saw on its thread, handed back under a lock.
struct Seen {
    std::mutex mutex;
    std::condition_variable done;
    bool ran = false;
    std::thread::id thread;
    linux_impl::PthreadThreads::Facts facts;

    void record() {
        std::lock_guard lock(mutex);
        ran = true;
        thread = std::this_thread::get_id();
        facts = linux_impl::PthreadThreads::currentThreadFacts();
        done.notify_all();
    }
    bool wait() {
        std::unique_lock lock(mutex);
        return done.wait_for(lock, std::chrono::seconds(30), [this] { return ran; });
    }
};

TEST(PthreadThreads, DetachedWithTheStackAndPriorityAsked) {
    linux_impl::PthreadThreads threads;
    const int niceBefore = linux_impl::PthreadThreads::currentThreadFacts().nice;
    auto seen = std::make_shared<Seen>();
    ThreadOptions options;
    options.stackBytes = 16384;  // the smallest stack a worker may ask for
    options.aboveNormalPriority = true;
    ASSERT_TRUE(threads.startDetached([seen] { seen->record(); }, options));
    ASSERT_TRUE(seen->wait());

    std::lock_guard lock(seen->mutex);
    EXPECT_NE(seen->thread, std::this_thread::get_id());
    EXPECT_TRUE(seen->facts.detached);
    // Never the 16 KiB asked: at least the 1 MiB a grown stack had.
    EXPECT_GE(seen->facts.stackBytes, linux_impl::PthreadThreads::effectiveStackBytes(16384));
    EXPECT_GE(linux_impl::PthreadThreads::effectiveStackBytes(16384), 16384u);
    EXPECT_GE(linux_impl::PthreadThreads::effectiveStackBytes(1024 * 1024), 1024u * 1024u);
    // Raised by one where allowed, unchanged where refused.
    EXPECT_EQ(threads.raisedCount() + threads.refusedCount(), 1u);
    if (threads.raisedCount() == 1) {
        EXPECT_EQ(seen->facts.nice, niceBefore > -20 ? niceBefore - 1 : niceBefore);
    } else {
        EXPECT_EQ(seen->facts.nice, niceBefore);
    }
}

TEST(PthreadThreads, NormalPriorityLeavesNiceAlone) {
    linux_impl::PthreadThreads threads;
    const int niceBefore = linux_impl::PthreadThreads::currentThreadFacts().nice;
    auto seen = std::make_shared<Seen>();
    ASSERT_TRUE(threads.startDetached([seen] { seen->record(); }, ThreadOptions{}));
    ASSERT_TRUE(seen->wait());
    std::lock_guard lock(seen->mutex);
    EXPECT_EQ(seen->facts.nice, niceBefore);
    EXPECT_EQ(threads.raisedCount() + threads.refusedCount(), 0u);
    EXPECT_FALSE(threads.startDetached(nullptr, ThreadOptions{}));
}

TEST(SimThreads, RunsOrRefusesAndRecordsWhatWasAsked) {
    sim::SimThreads threads;
    auto seen = std::make_shared<Seen>();
    ThreadOptions options;
    options.stackBytes = 12345;
    ASSERT_TRUE(threads.startDetached([seen] { seen->record(); }, options));
    ASSERT_TRUE(seen->wait());

    threads.setFailStarts(true);
    bool ran = false;
    EXPECT_FALSE(threads.startDetached([&ran] { ran = true; }, options));
    EXPECT_FALSE(ran);
    EXPECT_EQ(threads.startsAsked(), 2u);
    EXPECT_EQ(threads.optionsAsked()[0].stackBytes, 12345u);
}

}  // namespace
}  // namespace kv::platform
