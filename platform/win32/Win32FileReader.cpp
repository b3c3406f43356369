#include "platform/win32/Win32FileReader.h"

#include <windows.h>

#include <algorithm>

namespace kv::platform::win32 {

namespace {

std::string systemText(DWORD code) {
    char text[512] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(code) : out;
}

class Win32ReadableFile final : public ReadableFile {
public:
    Win32ReadableFile(HANDLE handle, uint64_t size) : handle_(handle), size_(size) {}
    ~Win32ReadableFile() override { ::CloseHandle(handle_); }
    Win32ReadableFile(const Win32ReadableFile&) = delete;
    Win32ReadableFile& operator=(const Win32ReadableFile&) = delete;

    uint64_t size() const override { return size_; }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(capacity, 1u << 30));
        if (!::ReadFile(handle_, buffer, want, &n, nullptr)) {
            return Failure{systemText(::GetLastError())};
        }
        return static_cast<size_t>(n);
    }

private:
    HANDLE handle_;
    uint64_t size_;
};

}  // namespace

Result<std::unique_ptr<ReadableFile>> Win32FileReader::openRegular(const std::string& path) {
    // Backup semantics open a folder too, so that it is judged on the
    // handle like everything else.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failure{systemText(::GetLastError())};
    LARGE_INTEGER size{};
    BY_HANDLE_FILE_INFORMATION info{};
    Failure refused;
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        refused.reason = "not a regular file";
    } else if (!::GetFileSizeEx(handle, &size)) {
        refused.reason = systemText(::GetLastError());
    } else {
        return std::make_unique<Win32ReadableFile>(handle, static_cast<uint64_t>(size.QuadPart));
    }
    ::CloseHandle(handle);
    return refused;
}

}  // namespace kv::platform::win32
