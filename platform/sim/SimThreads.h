#pragma once
#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/Threads.h"

namespace kv::platform::sim {

// Real detached threads (so tests see a second thread, and TSan sees the
// real sharing), with a switch that makes every start fail, and a record of
// what was asked.
class SimThreads final : public Threads {
public:
    bool startDetached(std::function<void()> body, const ThreadOptions& options) override;

    void setFailStarts(bool fail) { failStarts_ = fail; }
    size_t startsAsked() const;
    std::vector<ThreadOptions> optionsAsked() const;

private:
    std::atomic<bool> failStarts_{false};
    mutable std::mutex mutex_;
    std::vector<ThreadOptions> asked_;
};

}  // namespace kv::platform::sim
