#pragma once
#include <string>

#include "platform/DurableFile.h"

namespace kv::platform::linux_impl {

// A file replaced by writing a temporary beside it, syncing it and renaming
// it over the old one; the folder is synced too, so the new name survives
// a power cut. Missing folders are created.
class LinuxDurableFile final : public DurableFile {
public:
    explicit LinuxDurableFile(std::string path);
    bool exists() override;
    std::optional<std::string> read() override;
    bool replace(const std::string& content) override;
    bool remove() override;
    std::string location() override { return path_; }

    // Where the print-queue journal lives: the folder named by
    // KVFLASH_STATE_DIR when set; else /var/lib/kvflash for root; else
    // $XDG_STATE_HOME/kvflash, or ~/.local/state/kvflash.
    static std::string queueJournalPath();

private:
    std::string path_;
};

}  // namespace kv::platform::linux_impl
