#pragma once
#include <atomic>
#include <cstddef>
#include <memory>

#include "platform/Threads.h"

namespace kv::platform::linux_impl {

// POSIX threads, created detached with the asked stack reservation.
//
// Above-normal priority: threads under SCHED_OTHER have no priority of their
// own, only a nice value per thread id. The new thread lowers its own nice
// value by one with setpriority on its tid; without the right to do so
// (EPERM/EACCES, an unprivileged run) it simply stays at normal priority.
class PthreadThreads final : public Threads {
public:
    bool startDetached(std::function<void()> body, const ThreadOptions& options) override;

    // The reservation a thread actually gets for `asked` bytes.
    static size_t effectiveStackBytes(size_t asked);

    // Threads whose priority raise succeeded / was refused (for diagnostics).
    size_t raisedCount() const { return counters_->raised.load(); }
    size_t refusedCount() const { return counters_->refused.load(); }

    // What the calling thread looks like, for tests.
    struct Facts {
        bool detached = false;
        size_t stackBytes = 0;
        int nice = 0;
    };
    static Facts currentThreadFacts();

    struct Counters {
        std::atomic<size_t> raised{0};
        std::atomic<size_t> refused{0};
    };

private:
    std::shared_ptr<Counters> counters_ = std::make_shared<Counters>();
};

}  // namespace kv::platform::linux_impl
