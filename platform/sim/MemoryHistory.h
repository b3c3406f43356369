#pragma once
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/HistoryFile.h"

namespace kv::platform::sim {

// A history file held in memory, with a switch to make appending fail and a
// hook that sees the content after every append.
class MemoryHistory final : public HistoryFile {
public:
    explicit MemoryHistory(std::string location = "memory:history")
        : location_(std::move(location)) {}

    bool append(const std::string& line, std::string& error) override;
    std::optional<std::string> read(std::string& error) override;
    std::string location() override { return location_; }

    void setContent(std::string content);
    std::string content() const;
    void setFailAppend(bool fail);
    void setUnreadable(bool unreadable);
    // Runs after each append, with the content then, on the appending thread.
    void onAppend(std::function<void(const std::string&)> hook);

private:
    mutable std::mutex mutex_;
    std::string location_;
    std::string content_;
    bool failAppend_ = false;
    bool unreadable_ = false;
    std::function<void(const std::string&)> hook_;
};

}  // namespace kv::platform::sim
