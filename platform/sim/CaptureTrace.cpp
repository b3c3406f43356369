#include "platform/sim/CaptureTrace.h"

#include <algorithm>

namespace kv::platform::sim {

void CaptureTrace::write(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> CaptureTrace::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool CaptureTrace::contains(std::string_view line) const { return count(line) > 0; }

size_t CaptureTrace::count(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count(lines_.begin(), lines_.end(), line));
}

bool CaptureTrace::containsInOrder(const std::vector<std::string>& part) const {
    std::lock_guard lock(mutex_);
    auto it = lines_.begin();
    for (const auto& line : part) {
        it = std::find(it, lines_.end(), line);
        if (it == lines_.end()) return false;
        ++it;
    }
    return true;
}

void CaptureTrace::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace kv::platform::sim
