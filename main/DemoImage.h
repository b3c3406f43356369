#pragma once
#include <string>

namespace kv::entry {

// The demo image a --simulate run flashes when given no command: the copy
// installed with the program (`installedFromBin`, relative to the folder of
// `executablePath`) where it exists, else `buildPath`, the one the build
// made.
std::string demoImagePath(const std::string& executablePath, const std::string& installedFromBin,
                          const std::string& buildPath);

}  // namespace kv::entry
