#include "platform/sim/MemoryHistory.h"

namespace kv::platform::sim {

bool MemoryHistory::append(const std::string& line, std::string& error) {
    std::function<void(const std::string&)> hook;
    std::string now;
    {
        std::lock_guard lock(mutex_);
        if (failAppend_) {
            error = location_ + " cannot be written";
            return false;
        }
        if (!content_.empty() && content_.back() != '\n') content_ += '\n';
        content_ += line;
        content_ += '\n';
        hook = hook_;
        now = content_;
    }
    if (hook) hook(now);
    return true;
}

std::optional<std::string> MemoryHistory::read(std::string& error) {
    std::lock_guard lock(mutex_);
    if (unreadable_) {
        error = location_ + " cannot be read";
        return std::nullopt;
    }
    return content_;
}

void MemoryHistory::setContent(std::string content) {
    std::lock_guard lock(mutex_);
    content_ = std::move(content);
}

std::string MemoryHistory::content() const {
    std::lock_guard lock(mutex_);
    return content_;
}

void MemoryHistory::setFailAppend(bool fail) {
    std::lock_guard lock(mutex_);
    failAppend_ = fail;
}

void MemoryHistory::setUnreadable(bool unreadable) {
    std::lock_guard lock(mutex_);
    unreadable_ = unreadable;
}

void MemoryHistory::onAppend(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

}  // namespace kv::platform::sim
