#pragma once
#include <string>

#include "platform/HistoryFile.h"

namespace kv::platform::linux_impl {

// The history as a file opened without following a symbolic link (and
// refused unless it is a regular file), appended with O_APPEND under an
// exclusive flock and synced before append returns; read under a shared
// flock. Waiting for the lock is bounded. Missing folders are created.
class LinuxHistoryFile final : public HistoryFile {
public:
    explicit LinuxHistoryFile(std::string path);
    bool append(const std::string& line, std::string& error) override;
    std::optional<std::string> read(std::string& error) override;
    std::string location() override { return path_; }

    // The newest part read back, at most (older lines are left out).
    static constexpr size_t kReadLimit = 32u * 1024 * 1024;
    // The folder's files: the real history, and the one a --simulate run
    // keeps apart from it.
    static std::string historyPath();
    static std::string simulatedHistoryPath();

private:
    std::string path_;
};

}  // namespace kv::platform::linux_impl
