#pragma once
#include <string>

namespace kv::platform::win32 {

// The folder of what kvflash keeps between runs on this machine (print-queue
// journal, flash history): KVFLASH_STATE_DIR when set; else
// %ProgramData%\kvflash; else the program's own folder.
std::string stateFolder();

// Creates a folder and its missing parents. True when it is a folder
// afterwards.
bool makeFolders(const std::string& folder);

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path);

}  // namespace kv::platform::win32
