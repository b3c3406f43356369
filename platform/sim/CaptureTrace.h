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
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace kv::platform::sim
