#pragma once
#include <cstddef>
#include <functional>

namespace kv::platform {

struct ThreadOptions {
    // The stack to reserve. An implementation may reserve more (its own
    // minimum, or what a sanitizer build needs), never less.
    size_t stackBytes = 1024 * 1024;
    // Run above the normal priority where the system lets this process.
    bool aboveNormalPriority = false;
};

// Starts threads that nobody joins. The body runs once on the new thread;
// everything it needs must outlive it or be owned by it.
class Threads {
public:
    virtual ~Threads() = default;
    // False when the thread could not be created; the body then never runs.
    [[nodiscard]] virtual bool startDetached(std::function<void()> body,
                                             const ThreadOptions& options) = 0;
};

}  // namespace kv::platform
