#pragma once
#include <string>
#include <vector>

#include "platform/Files.h"

namespace kv::platform::sim {

// The program's files on a simulated machine: started as `executable`,
// with `binFiles` in every folder; nothing else is there to open.
class SimFiles final : public Files {
public:
    std::string executablePath() override { return executable; }
    std::vector<std::string> binFilesIn(const std::string&) override { return binFiles; }
    Result<void> fileToOpen(const std::string&) override { return Failure{"no such file"}; }

    std::string executable = "/opt/kv/kvflash";
    std::vector<std::string> binFiles;
};

}  // namespace kv::platform::sim
