#include "platform/linux/LinuxKeyFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv::platform::linux_impl {

Result<std::vector<std::string>> LinuxKeyFolders::keyFilesIn(const std::string& folder) {
    std::vector<std::string> paths;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        if (errno == ENOENT) return paths;
        return Failure{std::strerror(errno)};
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pub") == 0)
            paths.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

Result<void> LinuxKeyFolders::closedToOthers(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Failure{std::strerror(errno)};
    if (st.st_uid != 0) return Failure{"not owned by root"};
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return Failure{"writable by group or others"};
    return {};
}

}  // namespace kv::platform::linux_impl
