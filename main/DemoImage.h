#pragma once
#include <string>

namespace kv::entry {

// The demo image a --simulate run flashes when given no command: the copy
// installed with the program (`installedFromBin`, relative to the folder of
// `executablePath`) where it exists, else the one the build made
// (`buildFromBin`, relative to the same folder).
std::string demoImagePath(const std::string& executablePath, const std::string& installedFromBin,
                          const std::string& buildFromBin);

}  // namespace kv::entry
