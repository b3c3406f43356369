#pragma once
#include <string>

#include "platform/DurableFile.h"

namespace kv::platform::win32 {

// A file replaced by writing a temporary beside it, flushing it, and moving
// it over the old one with MoveFileExA(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH), which returns only once the move is on disk.
// Missing folders are created.
class Win32DurableFile final : public DurableFile {
public:
    explicit Win32DurableFile(std::string path);
    bool exists() override;
    std::optional<std::string> read() override;
    bool replace(const std::string& content) override;
    bool remove() override;
    std::string location() override { return path_; }

    // Where the print-queue journal lives: the folder named by
    // KVFLASH_STATE_DIR when set; else %ProgramData%\kvflash; else the
    // program's own folder.
    static std::string queueJournalPath();

private:
    std::string path_;
};

}  // namespace kv::platform::win32
