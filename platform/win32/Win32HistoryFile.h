#pragma once
#include <string>

#include "platform/LockedHistoryFile.h"

namespace kv::platform::win32 {

// The history's file: opened without following a link or junction (a
// reparse point, a device or a folder in its place is refused), appended
// through an append-only handle under an exclusive LockFileEx lock and
// flushed; read under a shared lock. Missing folders are created.
class Win32HistoryFile final : public LockedHistoryFile {
public:
    explicit Win32HistoryFile(std::string path) : LockedHistoryFile(std::move(path)) {}

    // In the state folder: the real history, and the one a --simulate run
    // keeps apart from it.
    static std::string historyPath();
    static std::string simulatedHistoryPath();

private:
    Result<std::unique_ptr<LockedFile>> openLocked(LockFor use) override;
};

}  // namespace kv::platform::win32
