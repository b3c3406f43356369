#include "platform/win32/Win32Files.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

namespace kv::platform::win32 {

std::string Win32Files::executablePath() {
    char path[MAX_PATH] = {};
    // At most MAX_PATH - 1 characters; a longer path comes back cut.
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : MAX_PATH - 1);
}

std::vector<std::string> Win32Files::binFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*.bin";
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.emplace_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

Result<void> Win32Files::fileToOpen(const std::string& path) {
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Failure{"no such file"};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Failure{"a folder"};
    if (attributes & FILE_ATTRIBUTE_DEVICE) return Failure{"not a regular file"};
    return {};
}

bool Win32Files::isTerminal(Stream stream) const {
    std::FILE* file = stream == Stream::Input ? stdin : stream == Stream::Output ? stdout : stderr;
    return _isatty(_fileno(file)) != 0;
}

void Win32Files::writeErrorNow(std::string_view text) {
    // A console takes it at once; a pipe nobody reads could hold it, so a
    // pipe gets only what fits into its free space.
    const HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD length = static_cast<DWORD>(text.size());
    if (::GetFileType(out) == FILE_TYPE_PIPE) {
        DWORD outBuffer = 0;
        if (!::GetNamedPipeInfo(out, nullptr, &outBuffer, nullptr, nullptr)) return;
        length = std::min(length, outBuffer);
    }
    DWORD written = 0;
    (void)::WriteFile(out, text.data(), length, &written, nullptr);
}

}  // namespace kv::platform::win32
