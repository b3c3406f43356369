#pragma once
#include "platform/Files.h"

namespace kv::platform::win32 {

// The executable's own path (GetModuleFileNameA) and the "*.bin" search of
// a folder (FindFirstFileA). The search reports every entry the pattern
// matches, folders included, in the file system's order.
class Win32Files final : public Files {
public:
    std::string executablePath() override;
    std::vector<std::string> binFilesIn(const std::string& folder) override;
    // By the entry's attributes; read access is left to the open, as the
    // system's file dialog leaves it.
    Result<void> fileToOpen(const std::string& path) override;
    bool isTerminal(Stream stream) const override;
    void writeErrorNow(std::string_view text) override;
    char folderSeparator() const override { return '\\'; }
};

}  // namespace kv::platform::win32
