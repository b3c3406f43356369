#pragma once
#include <string>
#include <vector>

namespace kv::entry {

// The two Windows programs: kvflash.exe, the window, and kvflash-cli.exe,
// the terminal front end with the Linux program's contract. Each parses the
// same options and returns the exit code.
int runWin32Window(void* instance, const std::vector<std::string>& args);
int runWin32Console(const std::vector<std::string>& args);

}  // namespace kv::entry
