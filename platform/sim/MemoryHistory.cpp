#include "platform/sim/MemoryHistory.h"

#include <algorithm>

namespace kv::platform::sim {

namespace {

// The content, held under the history's lock for as long as this lives.
class HeldContent final : public LockedFile {
public:
    HeldContent(std::unique_lock<std::mutex> lock, std::string& content)
        : lock_(std::move(lock)), content_(content) {}

    Result<uint64_t> size() override { return uint64_t{content_.size()}; }
    Result<size_t> readAt(uint64_t offset, char* buffer, size_t capacity) override {
        if (offset >= content_.size()) return size_t{0};
        const size_t n = std::min<size_t>(capacity, content_.size() - offset);
        std::copy_n(content_.data() + offset, n, buffer);
        return n;
    }
    Result<void> append(const std::string& bytes) override {
        content_ += bytes;
        return {};
    }
    Result<void> sync() override { return {}; }

private:
    std::unique_lock<std::mutex> lock_;
    std::string& content_;
};

}  // namespace

Result<std::unique_ptr<LockedFile>> MemoryHistory::openLocked(LockFor use) {
    std::unique_lock lock(mutex_);
    if (use == LockFor::Append && failAppend_) return Failure{location() + " cannot be written"};
    if (use == LockFor::Read && unreadable_) return Failure{location() + " cannot be read"};
    return std::make_unique<HeldContent>(std::move(lock), content_);
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

}  // namespace kv::platform::sim
