#include "platform/win32/Win32DurableFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32/StateFolder.h"

namespace kv::platform::win32 {

namespace {

struct File {
    HANDLE h;
    explicit File(HANDLE handle) : h(handle) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};

}  // namespace

Win32DurableFile::Win32DurableFile(std::string path) : path_(std::move(path)) {}

bool Win32DurableFile::exists() {
    return ::GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> Win32DurableFile::read() {
    File file(::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return std::nullopt;
    // Only a disk file of a journal's size.
    LARGE_INTEGER size{};
    if (::GetFileType(file.h) != FILE_TYPE_DISK || !::GetFileSizeEx(file.h, &size) ||
        static_cast<uint64_t>(size.QuadPart) > kMaxDurableFileBytes) {
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.h, buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
        if (n == 0) break;
        content.append(buffer, n);
        if (content.size() > kMaxDurableFileBytes) return std::nullopt;
    }
    return content;
}

bool Win32DurableFile::replace(const std::string& content) {
    if (!makeFolders(folderOf(path_))) return false;
    const std::string temp = path_ + ".tmp." + std::to_string(::GetCurrentProcessId());
    {
        File file(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.h == INVALID_HANDLE_VALUE) return false;
        size_t done = 0;
        bool ok = true;
        while (ok && done < content.size()) {
            DWORD n = 0;
            const DWORD part = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20));
            ok = ::WriteFile(file.h, content.data() + done, part, &n, nullptr) && n > 0;
            done += n;
        }
        if (!ok || !::FlushFileBuffers(file.h)) {
            ::CloseHandle(file.h);
            file.h = INVALID_HANDLE_VALUE;
            ::DeleteFileA(temp.c_str());
            return false;
        }
    }
    if (!::MoveFileExA(temp.c_str(), path_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

bool Win32DurableFile::remove() {
    if (::DeleteFileA(path_.c_str())) return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string Win32DurableFile::queueJournalPath() {
    return stateFolder() + "\\print-queues.journal";
}

}  // namespace kv::platform::win32
