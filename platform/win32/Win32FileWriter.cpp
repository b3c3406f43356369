#include "platform/win32/Win32FileWriter.h"

#include <windows.h>

#include <algorithm>

namespace kv::platform::win32 {

namespace {

Failure systemError() { return Failure{"error " + std::to_string(::GetLastError())}; }

class Win32WritableFile final : public WritableFile {
public:
    explicit Win32WritableFile(HANDLE handle) : handle_(handle) {}
    ~Win32WritableFile() override { ::CloseHandle(handle_); }
    Win32WritableFile(const Win32WritableFile&) = delete;
    Win32WritableFile& operator=(const Win32WritableFile&) = delete;

    Result<void> append(std::string_view bytes) override {
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            if (!::WriteFile(handle_, bytes.data() + done, part, &n, nullptr) || n == 0) {
                return systemError();
            }
            done += n;
        }
        return {};
    }

private:
    HANDLE handle_;
};

}  // namespace

Result<std::unique_ptr<WritableFile>> Win32FileWriter::createNew(const std::string& path) {
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return systemError();
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return Failure{"not a regular file"};
    }
    return std::make_unique<Win32WritableFile>(handle);
}

}  // namespace kv::platform::win32
