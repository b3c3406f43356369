#include "main/DemoImage.h"

#include <filesystem>
#include <system_error>

namespace kv::entry {

std::string demoImagePath(const std::string& executablePath, const std::string& installedFromBin,
                          const std::string& buildPath) {
    namespace fs = std::filesystem;
    if (executablePath.empty()) return buildPath;
    std::error_code ec;
    // Through the links: /bin/kvflash is /usr/bin/kvflash on a merged /usr.
    const fs::path installed =
        fs::weakly_canonical(fs::path(executablePath).parent_path() / installedFromBin, ec);
    if (!ec && fs::is_regular_file(installed, ec)) return installed.string();
    return buildPath;
}

}  // namespace kv::entry
