#include "platform/win32/StateFolder.h"

#include <windows.h>

namespace kv::platform::win32 {

namespace {

std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(value, n) : std::string();
}

}  // namespace

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool makeFolders(const std::string& folder) {
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::string parent = folderOf(folder);
    // A drive root ("C:") or the top of a relative path ends the climb.
    if (parent != folder && parent != "." && parent.size() > 2 && !makeFolders(parent)) {
        return false;
    }
    return ::CreateDirectoryA(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string stateFolder() {
    std::string folder = environment("KVFLASH_STATE_DIR");
    if (folder.empty()) {
        const std::string data = environment("ProgramData");
        if (!data.empty()) folder = data + "\\kvflash";
    }
    if (folder.empty()) {
        char exe[MAX_PATH] = {};
        const DWORD n = ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
        folder = n > 0 && n < MAX_PATH ? folderOf(std::string(exe, n)) : std::string(".");
    }
    return folder;
}

}  // namespace kv::platform::win32
