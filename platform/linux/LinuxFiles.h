#pragma once
#include <string>

#include "platform/Files.h"

namespace kv::platform::linux_impl {

class LinuxFiles final : public Files {
public:
    // argv0 as the program was started; made absolute against the current
    // folder, links left as they are. Empty: /proc/self/exe.
    explicit LinuxFiles(std::string argv0 = {});
    std::string executablePath() override;
    std::vector<std::string> binFilesIn(const std::string& folder) override;
    Result<void> fileToOpen(const std::string& path) override;
    bool isTerminal(Stream stream) const override;
    void writeErrorNow(std::string_view text) override;

private:
    std::string path_;
};

}  // namespace kv::platform::linux_impl
