#include "platform/win32/Win32HistoryFile.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/win32/StateFolder.h"

namespace kv::platform::win32 {

namespace {

// Another copy of the program holds the lock only for one line's write.
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr DWORD kLockRetryMs = 5;

Failure systemError(const std::string& what) {
    return Failure{what + " (error " + std::to_string(::GetLastError()) + ")"};
}

// The whole file's range, locked until the handle goes.
class LockedHandle final : public LockedFile {
public:
    LockedHandle(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    LockedHandle(const LockedHandle&) = delete;
    LockedHandle& operator=(const LockedHandle&) = delete;
    ~LockedHandle() override {
        OVERLAPPED at{};
        ::UnlockFileEx(h_, 0, MAXDWORD, MAXDWORD, &at);
        ::CloseHandle(h_);
    }

    Result<uint64_t> size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(h_, &size)) return systemError("cannot examine " + path_);
        return static_cast<uint64_t>(size.QuadPart);
    }

    Result<size_t> readAt(uint64_t offset, char* buffer, size_t capacity) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(capacity, 1u << 20));
        if (!::ReadFile(h_, buffer, want, &got, &at) && ::GetLastError() != ERROR_HANDLE_EOF) {
            return systemError("cannot read " + path_);
        }
        return static_cast<size_t>(got);
    }

    // Append-only: every write lands at the end, whoever wrote last.
    Result<void> append(const std::string& bytes) override {
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            if (!::WriteFile(h_, bytes.data() + done, part, &n, nullptr) || n == 0) {
                return systemError("cannot write " + path_);
            }
            done += n;
        }
        return {};
    }

    Result<void> sync() override {
        if (!::FlushFileBuffers(h_)) return systemError("cannot write " + path_);
        return {};
    }

private:
    HANDLE h_;
    std::string path_;
};

// Opens the file itself, never what a link or junction points to; only a
// plain file on a disk is kept.
Result<HANDLE> openPlainFile(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE h =
        ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return systemError("cannot open " + path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        ::CloseHandle(h);
        return Failure{path + " is not a plain file (a link is not followed)"};
    }
    return h;
}

Result<void> lockBounded(HANDLE h, DWORD flags, const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        OVERLAPPED at{};
        if (::LockFileEx(h, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at)) {
            return {};
        }
        if (::GetLastError() != ERROR_LOCK_VIOLATION) return systemError("cannot lock " + path);
        if (std::chrono::steady_clock::now() > deadline) {
            return Failure{path + " stayed locked by another program"};
        }
        ::Sleep(kLockRetryMs);
    }
}

}  // namespace

std::string Win32HistoryFile::historyPath() { return stateFolder() + "\\history.jsonl"; }

std::string Win32HistoryFile::simulatedHistoryPath() {
    return stateFolder() + "\\history-simulated.jsonl";
}

Result<std::unique_ptr<LockedFile>> Win32HistoryFile::openLocked(LockFor use) {
    const std::string path = location();
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (use == LockFor::Append) {
        const std::string folder = folderOf(path);
        if (!makeFolders(folder)) return systemError("cannot create the folder " + folder);
        access |= FILE_APPEND_DATA;
        disposition = OPEN_ALWAYS;
    } else if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD why = ::GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
            return std::unique_ptr<LockedFile>();
        }
    }
    const auto h = openPlainFile(path, access, disposition);
    if (!h) return h.failure();
    if (auto locked = lockBounded(*h, use == LockFor::Append ? LOCKFILE_EXCLUSIVE_LOCK : 0, path);
        !locked) {
        ::CloseHandle(*h);
        return locked.failure();
    }
    return std::make_unique<LockedHandle>(*h, path);
}

}  // namespace kv::platform::win32
