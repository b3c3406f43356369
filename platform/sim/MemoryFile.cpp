#include "platform/sim/MemoryFile.h"

namespace kv::platform::sim {

bool MemoryFile::exists() {
    std::lock_guard lock(mutex_);
    return content_.has_value();
}

std::optional<std::string> MemoryFile::read() {
    std::lock_guard lock(mutex_);
    return content_;
}

bool MemoryFile::replace(const std::string& content) {
    std::lock_guard lock(mutex_);
    if (failReplace_) return false;
    content_ = content;
    history_.push_back(content);
    return true;
}

bool MemoryFile::remove() {
    std::lock_guard lock(mutex_);
    if (failRemove_) return false;
    content_.reset();
    return true;
}

void MemoryFile::setContent(std::optional<std::string> content) {
    std::lock_guard lock(mutex_);
    content_ = std::move(content);
}

std::optional<std::string> MemoryFile::content() const {
    std::lock_guard lock(mutex_);
    return content_;
}

void MemoryFile::setFailReplace(bool fail) {
    std::lock_guard lock(mutex_);
    failReplace_ = fail;
}

void MemoryFile::setFailRemove(bool fail) {
    std::lock_guard lock(mutex_);
    failRemove_ = fail;
}

std::vector<std::string> MemoryFile::history() const {
    std::lock_guard lock(mutex_);
    return history_;
}

}  // namespace kv::platform::sim
