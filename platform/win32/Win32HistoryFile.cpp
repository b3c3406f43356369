#include "platform/win32/Win32HistoryFile.h"

#include <windows.h>

#include <chrono>

#include "platform/win32/StateFolder.h"

namespace kv::platform::win32 {

namespace {

// Another copy of the program holds the lock only for one line's write.
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr DWORD kLockRetryMs = 5;

std::string systemError(const std::string& what) {
    return what + " (error " + std::to_string(::GetLastError()) + ")";
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Opens the file itself, never what a link or junction points to; only a
// plain file on a disk is kept.
HANDLE openPlainFile(const std::string& path, DWORD access, DWORD disposition,
                     std::string& error) {
    HANDLE h = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = systemError("cannot open " + path);
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        error = path + " is not a plain file (a link is not followed)";
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// The whole file's range, locked with a bound on the wait.
bool lockBounded(HANDLE h, DWORD flags, const std::string& path, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        OVERLAPPED at{};
        if (::LockFileEx(h, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at)) {
            return true;
        }
        if (::GetLastError() != ERROR_LOCK_VIOLATION) {
            error = systemError("cannot lock " + path);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = path + " stayed locked by another program";
            return false;
        }
        ::Sleep(kLockRetryMs);
    }
}

void unlock(HANDLE h) {
    OVERLAPPED at{};
    ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &at);
}

bool readAt(HANDLE h, unsigned long long offset, char* buffer, DWORD want, DWORD& got) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    if (::ReadFile(h, buffer, want, &got, &at)) return true;
    return ::GetLastError() == ERROR_HANDLE_EOF;
}

}  // namespace

Win32HistoryFile::Win32HistoryFile(std::string path) : path_(std::move(path)) {}

std::string Win32HistoryFile::historyPath() { return stateFolder() + "\\history.jsonl"; }

std::string Win32HistoryFile::simulatedHistoryPath() {
    return stateFolder() + "\\history-simulated.jsonl";
}

bool Win32HistoryFile::append(const std::string& line, std::string& error) {
    if (line.find('\n') != std::string::npos) {
        error = "a history line holds a line break";
        return false;
    }
    const std::string folder = folderOf(path_);
    if (!makeFolders(folder)) {
        error = systemError("cannot create the folder " + folder);
        return false;
    }
    // Append-only: every write lands at the end, whoever wrote last.
    const Handle file(openPlainFile(path_, GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS, error));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    if (!lockBounded(file.get(), LOCKFILE_EXCLUSIVE_LOCK, path_, error)) return false;

    bool ok = false;
    LARGE_INTEGER size{};
    std::string bytes;
    if (!::GetFileSizeEx(file.get(), &size)) {
        error = systemError("cannot examine " + path_);
    } else {
        char last = '\n';
        DWORD got = 0;
        if (size.QuadPart > 0 &&
            (!readAt(file.get(), static_cast<unsigned long long>(size.QuadPart - 1), &last, 1,
                     got) ||
             got != 1)) {
            error = systemError("cannot read " + path_);
        } else {
            // A line cut short by a crash ends here, before ours.
            if (last != '\n') bytes += '\n';
            bytes += line;
            bytes += '\n';
            size_t done = 0;
            ok = true;
            while (ok && done < bytes.size()) {
                DWORD n = 0;
                ok = ::WriteFile(file.get(), bytes.data() + done,
                                 static_cast<DWORD>(bytes.size() - done), &n, nullptr) &&
                     n > 0;
                done += n;
            }
            ok = ok && ::FlushFileBuffers(file.get());
            if (!ok) error = systemError("cannot write " + path_);
        }
    }
    unlock(file.get());
    return ok;
}

std::optional<std::string> Win32HistoryFile::read(std::string& error) {
    if (::GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD why = ::GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) return std::string();
    }
    const Handle file(openPlainFile(path_, GENERIC_READ, OPEN_EXISTING, error));
    if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    if (!lockBounded(file.get(), 0, path_, error)) return std::nullopt;
    std::optional<std::string> content;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        error = systemError("cannot examine " + path_);
    } else {
        const auto total = static_cast<unsigned long long>(size.QuadPart);
        const unsigned long long from = total > kReadLimit ? total - kReadLimit : 0;
        std::string text;
        char buffer[65536];
        unsigned long long at = from;
        bool ok = true;
        while (at < total) {
            DWORD got = 0;
            if (!readAt(file.get(), at, buffer, sizeof buffer, got)) {
                ok = false;
                break;
            }
            if (got == 0) break;
            text.append(buffer, got);
            at += got;
        }
        if (!ok) {
            error = systemError("cannot read " + path_);
        } else {
            // Started in the middle of a line: that line is left out whole.
            if (from > 0) {
                const size_t end = text.find('\n');
                text.erase(0, end == std::string::npos ? text.size() : end + 1);
            }
            content = std::move(text);
        }
    }
    unlock(file.get());
    return content;
}

}  // namespace kv::platform::win32
