#pragma once
#include <string>
#include <string_view>

namespace kv::platform::linux_impl {

// The folder of what kvflash keeps between runs (print-queue journal, flash
// history): KVFLASH_STATE_DIR when set; else /var/lib/kvflash for root;
// else $XDG_STATE_HOME/kvflash, or ~/.local/state/kvflash.
std::string stateFolder();

// Creates a folder and its missing parents (mode 0700). True when it is a
// folder afterwards.
bool makeFolders(const std::string& folder);

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path);

// Writes all of `bytes` to `fd`, going on after a signal or a short write.
bool writeWhole(int fd, std::string_view bytes);

// Syncs a folder, so names created or renamed in it survive a power cut.
bool syncFolder(const std::string& folder);

}  // namespace kv::platform::linux_impl
