#pragma once
#include <string>

#include "platform/LockedHistoryFile.h"

namespace kv::platform::linux_impl {

// The history's file: opened without following a symbolic link (and refused
// unless it is a regular file), appended with O_APPEND under an exclusive
// flock and fsynced; read under a shared flock. Missing folders are created.
class LinuxHistoryFile final : public LockedHistoryFile {
public:
    explicit LinuxHistoryFile(std::string path) : LockedHistoryFile(std::move(path)) {}

    // The folder's files: the real history, and the one a --simulate run
    // keeps apart from it.
    static std::string historyPath();
    static std::string simulatedHistoryPath();

private:
    Result<std::unique_ptr<LockedFile>> openLocked(LockFor use) override;
};

}  // namespace kv::platform::linux_impl
