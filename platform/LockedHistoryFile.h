#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/HistoryFile.h"
#include "platform/LockedFile.h"

namespace kv::platform {

// The history's rules over a platform's locked file: one line per append,
// a line cut short by a crash ended before the next, and only the newest
// part read back.
class LockedHistoryFile : public HistoryFile {
public:
    // The newest part read back, at most (older lines are left out).
    static constexpr uint64_t kReadLimit = 32u * 1024 * 1024;

    Result<void> append(const std::string& line) final;
    Result<std::string> read() final;
    std::string location() final { return path_; }

protected:
    explicit LockedHistoryFile(std::string path) : path_(std::move(path)) {}
    // The file at location(), locked; for LockFor::Read no file (a null
    // pointer) when there is none yet. Waiting for the lock is bounded.
    virtual Result<std::unique_ptr<LockedFile>> openLocked(LockFor use) = 0;

private:
    std::string path_;
};

}  // namespace kv::platform
