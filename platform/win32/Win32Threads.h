#pragma once
#include <cstddef>

#include "platform/Threads.h"

namespace kv::platform::win32 {

// CreateThread, detached at once (its handle closed). A thread starts with
// kStackCommitBytes of committed stack; the stack grows from there up to the
// reservation, which is the program's own (from its image header) when that
// is at least the asked stackBytes, and the asked size otherwise. Above
// normal priority is THREAD_PRIORITY_ABOVE_NORMAL, set before the thread
// runs.
class Win32Threads final : public Threads {
public:
    static constexpr size_t kStackCommitBytes = 16384;

    bool startDetached(std::function<void()> body, const ThreadOptions& options) override;

    // The stack reservation of the program's threads (its image header).
    static size_t imageStackReserve();

    // What the calling thread looks like, for tests.
    struct Facts {
        size_t stackReserve = 0;  // from the thread's stack limits
        int priority = 0;         // GetThreadPriority
    };
    static Facts currentThreadFacts();
};

}  // namespace kv::platform::win32
