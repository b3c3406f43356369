#include "platform/linux/PthreadThreads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

namespace kv::platform::linux_impl {

namespace {

// Sanitizer builds keep shadow frames and larger locals on the stack.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kSanitizerStackBytes = 8u * 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr size_t kSanitizerStackBytes = 8u * 1024 * 1024;
#else
constexpr size_t kSanitizerStackBytes = 0;
#endif
#else
constexpr size_t kSanitizerStackBytes = 0;
#endif

struct Start {
    std::function<void()> body;
    bool raise;
    // Shared, so a thread that starts late never outlives what it counts in.
    std::shared_ptr<PthreadThreads::Counters> counters;
};

pid_t currentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

bool raiseOwnPriority() {
    const pid_t tid = currentTid();
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0) return false;
    if (nice <= -20) return true;
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice - 1) == 0;
}

extern "C" void* threadEntry(void* arg) {
    std::unique_ptr<Start> start(static_cast<Start*>(arg));
    if (start->raise) {
        // EPERM/EACCES: not allowed to go below the current nice value.
        if (raiseOwnPriority()) {
            start->counters->raised.fetch_add(1);
        } else {
            start->counters->refused.fetch_add(1);
        }
    }
    start->body();
    return nullptr;
}

}  // namespace

size_t PthreadThreads::effectiveStackBytes(size_t asked) {
    size_t bytes = std::max<size_t>(asked, static_cast<size_t>(PTHREAD_STACK_MIN));
    bytes = std::max(bytes, kSanitizerStackBytes);
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    if (page > 0) bytes = (bytes + page - 1) / page * page;
    return bytes;
}

bool PthreadThreads::startDetached(std::function<void()> body, const ThreadOptions& options) {
    if (!body) return false;
    pthread_attr_t attr;
    if (::pthread_attr_init(&attr) != 0) return false;
    bool ok = ::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) == 0 &&
              ::pthread_attr_setstacksize(&attr, effectiveStackBytes(options.stackBytes)) == 0;
    if (ok) {
        auto start =
            std::make_unique<Start>(Start{std::move(body), options.aboveNormalPriority, counters_});
        pthread_t thread;
        ok = ::pthread_create(&thread, &attr, threadEntry, start.get()) == 0;
        if (ok) start.release();  // the thread owns it now
    }
    ::pthread_attr_destroy(&attr);
    return ok;
}

PthreadThreads::Facts PthreadThreads::currentThreadFacts() {
    Facts facts;
    pthread_attr_t attr;
    if (::pthread_getattr_np(::pthread_self(), &attr) == 0) {
        int state = 0;
        if (::pthread_attr_getdetachstate(&attr, &state) == 0)
            facts.detached = state == PTHREAD_CREATE_DETACHED;
        size_t size = 0;
        if (::pthread_attr_getstacksize(&attr, &size) == 0) facts.stackBytes = size;
        ::pthread_attr_destroy(&attr);
    }
    errno = 0;
    facts.nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(currentTid()));
    return facts;
}

}  // namespace kv::platform::linux_impl
