#pragma once
#include <mutex>
#include <string>
#include <vector>

namespace kv {

// The texts of the message boxes shown while a flash is recorded, from
// whichever thread showed them.
class BoxLog {
public:
    void start() {
        std::lock_guard lock(mutex_);
        texts_.clear();
        on_ = true;
    }
    void stop() {
        std::lock_guard lock(mutex_);
        on_ = false;
    }
    void add(const std::string& text) {
        std::lock_guard lock(mutex_);
        if (on_) texts_.push_back(text);
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    size_t size() const {
        std::lock_guard lock(mutex_);
        return texts_.size();
    }

private:
    mutable std::mutex mutex_;
    bool on_ = false;
    std::vector<std::string> texts_;
};

}  // namespace kv
