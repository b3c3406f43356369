#pragma once
#include <string>

#include "platform/HistoryFile.h"

namespace kv::platform::win32 {

// The history as a file opened without following a link or junction (a
// reparse point, a device or a folder in its place is refused), appended
// through an append-only handle under an exclusive LockFileEx lock and
// flushed before append returns; read under a shared lock. Waiting for the
// lock is bounded. Missing folders are created.
class Win32HistoryFile final : public HistoryFile {
public:
    explicit Win32HistoryFile(std::string path);
    bool append(const std::string& line, std::string& error) override;
    std::optional<std::string> read(std::string& error) override;
    std::string location() override { return path_; }

    // The newest part read back, at most (older lines are left out).
    static constexpr unsigned long long kReadLimit = 32ull * 1024 * 1024;
    // In the state folder: the real history, and the one a --simulate run
    // keeps apart from it.
    static std::string historyPath();
    static std::string simulatedHistoryPath();

private:
    std::string path_;
};

}  // namespace kv::platform::win32
