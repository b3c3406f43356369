#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Trace.h"

namespace kv::platform::sim {

// Keeps every line in order, for tests.
class CaptureTrace final : public Trace {
public:
    void write(std::string_view line) override;
    std::vector<std::string> lines() const;
    bool contains(std::string_view line) const;
    size_t count(std::string_view line) const;
    // `part` was written in this order, other lines in between allowed.
    bool containsInOrder(const std::vector<std::string>& part) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace kv::platform::sim
