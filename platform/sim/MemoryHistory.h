#pragma once
#include <mutex>
#include <string>

#include "platform/LockedHistoryFile.h"

namespace kv::platform::sim {

// A history file held in memory, under the history's own rules, with
// switches to make appending or reading fail.
class MemoryHistory final : public LockedHistoryFile {
public:
    explicit MemoryHistory(std::string location = "memory:history")
        : LockedHistoryFile(std::move(location)) {}

    void setContent(std::string content);
    std::string content() const;
    void setFailAppend(bool fail);
    void setUnreadable(bool unreadable);

private:
    Result<std::unique_ptr<LockedFile>> openLocked(LockFor use) override;

    mutable std::mutex mutex_;
    std::string content_;
    bool failAppend_ = false;
    bool unreadable_ = false;
};

}  // namespace kv::platform::sim
