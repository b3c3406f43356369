#include "platform/sim/SimThreads.h"

#include <thread>

namespace kv::platform::sim {

bool SimThreads::startDetached(std::function<void()> body, const ThreadOptions& options) {
    {
        std::lock_guard lock(mutex_);
        asked_.push_back(options);
    }
    if (failStarts_ || !body) return false;
    std::thread(std::move(body)).detach();
    return true;
}

size_t SimThreads::startsAsked() const {
    std::lock_guard lock(mutex_);
    return asked_.size();
}

std::vector<ThreadOptions> SimThreads::optionsAsked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

}  // namespace kv::platform::sim
