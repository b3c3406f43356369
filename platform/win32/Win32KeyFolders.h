#pragma once
#include "platform/KeyFolders.h"

namespace kv::platform::win32 {

class Win32KeyFolders final : public KeyFolders {
public:
    // Empty: the known folder's; tests name another.
    explicit Win32KeyFolders(std::string systemFolder = {}) : system_(std::move(systemFolder)) {}
    std::string systemFolder() override;
    Result<std::vector<std::string>> keyFilesIn(const std::string& folder) override;
    Result<void> closedToOthers(const std::string& path) override;

private:
    std::string system_;
};

}  // namespace kv::platform::win32
