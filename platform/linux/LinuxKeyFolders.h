#pragma once
#include "platform/KeyFolders.h"

namespace kv::platform::linux_impl {

class LinuxKeyFolders final : public KeyFolders {
public:
    // Tests name another system folder.
    explicit LinuxKeyFolders(std::string systemFolder = "/etc/kvflash/trusted-keys")
        : system_(std::move(systemFolder)) {}
    std::string systemFolder() override { return system_; }
    Result<std::vector<std::string>> keyFilesIn(const std::string& folder) override;
    Result<void> closedToOthers(const std::string& path) override;

private:
    std::string system_;
};

}  // namespace kv::platform::linux_impl
