#include "main/DemoImage.h"

#include <filesystem>
#include <system_error>

namespace kv::entry {

std::string demoImagePath(const std::string& executablePath, const std::string& installedFromBin,
                          const std::string& buildFromBin) {
    namespace fs = std::filesystem;
    const fs::path bin = fs::path(executablePath).parent_path();
    std::error_code ec;
    // Through the links: /bin/kvflash is /usr/bin/kvflash on a merged /usr.
    const fs::path installed = fs::weakly_canonical(bin / installedFromBin, ec);
    if (!ec && fs::is_regular_file(installed, ec)) return installed.string();
    const fs::path built = fs::weakly_canonical(bin / buildFromBin, ec);
    return ec ? (bin / buildFromBin).string() : built.string();
}

}  // namespace kv::entry
