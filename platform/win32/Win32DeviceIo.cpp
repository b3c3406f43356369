#include "platform/win32/Win32DeviceIo.h"

#include <windows.h>

#include <limits>

namespace kv::platform::win32 {

namespace {

thread_local uint32_t tlsLastError = 0;

bool fail(DWORD code) {
    tlsLastError = code;
    return false;
}

DWORD chunk(size_t length) {
    return length > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max()
                                                      : static_cast<DWORD>(length);
}

DWORD clampMs(uint64_t ms) {
    // INFINITE is not a bound.
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

// One overlapped request, waited for at most boundMs and cancelled after.
class Request {
public:
    Request() { overlapped_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Request() {
        if (overlapped_.hEvent) ::CloseHandle(overlapped_.hEvent);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    OVERLAPPED* get() { return overlapped_.hEvent ? &overlapped_ : nullptr; }

    // After the call that started it returned `started`: waits, cancels what
    // is still pending at the bound, and tells how it ended. `timedOut` is
    // set when the bound ran out.
    bool finish(HANDLE device, BOOL started, DWORD boundMs, DWORD& transferred, bool& timedOut) {
        transferred = 0;
        timedOut = false;
        if (!started) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) return fail(error);
            if (::WaitForSingleObject(overlapped_.hEvent, boundMs) != WAIT_OBJECT_0) {
                timedOut = true;
                ::CancelIoEx(device, &overlapped_);
            }
        }
        // Waits for the request to end: at once, or once the cancel took.
        if (!::GetOverlappedResult(device, &overlapped_, &transferred, TRUE)) {
            const DWORD error = ::GetLastError();
            if (timedOut && error == ERROR_OPERATION_ABORTED) return true;
            return fail(error);
        }
        return true;
    }

private:
    OVERLAPPED overlapped_{};
};

}  // namespace

Win32DeviceIo::Win32DeviceIo(Win32DeviceIoOptions options) : options_(options) {}

Win32DeviceIo::~Win32DeviceIo() {
    std::lock_guard lock(mutex_);
    for (auto& [id, o] : open_) ::CloseHandle(o.handle);
}

bool Win32DeviceIo::lookup(DeviceHandle handle, Open& out) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle.value);
    if (it == open_.end()) return fail(ERROR_INVALID_HANDLE);
    out = it->second;
    return true;
}

DeviceHandle Win32DeviceIo::open(const std::string& path, ShareMode share) {
    const DWORD sharing = share == ShareMode::Shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        tlsLastError = ::GetLastError();
        return DeviceHandle::invalid();
    }
    std::lock_guard lock(mutex_);
    const int64_t id = next_++;
    open_.emplace(id, Open{h, false, {}});
    return DeviceHandle{id};
}

bool Win32DeviceIo::read(DeviceHandle handle, uint8_t* buffer, size_t capacity, size_t& obtained) {
    obtained = 0;
    Open o;
    if (!lookup(handle, o)) return false;
    DWORD boundMs = options_.defaultReadBoundMs;
    if (o.timeoutsSet) {
        const CommTimeouts& t = o.timeouts;
        const uint64_t total =
            t.readTotalTimeoutConstant + uint64_t{t.readTotalTimeoutMultiplier} * capacity;
        if (t.readIntervalTimeout == MAXDWORD && total == 0) {
            boundMs = 0;
        } else if (total > 0) {
            boundMs = clampMs(total);
        }
    }
    Request request;
    if (!request.get()) return fail(::GetLastError());
    const BOOL started = ::ReadFile(o.handle, buffer, chunk(capacity), nullptr, request.get());
    DWORD got = 0;
    bool timedOut = false;
    if (!request.finish(o.handle, started, boundMs, got, timedOut)) {
        // The end of a file stands for a device with nothing to say.
        if (tlsLastError == ERROR_HANDLE_EOF) return true;
        return false;
    }
    obtained = got;
    return true;
}

bool Win32DeviceIo::write(DeviceHandle handle, const uint8_t* data, size_t length, size_t& taken) {
    taken = 0;
    Open o;
    if (!lookup(handle, o)) return false;
    if (length == 0) return true;
    uint64_t boundMs = options_.defaultWriteBoundMs;
    if (o.timeoutsSet) {
        const uint64_t total = o.timeouts.writeTotalTimeoutConstant +
                               uint64_t{o.timeouts.writeTotalTimeoutMultiplier} * length;
        if (total > 0) boundMs = total;
    }
    Request request;
    if (!request.get()) return fail(::GetLastError());
    const BOOL started = ::WriteFile(o.handle, data, chunk(length), nullptr, request.get());
    DWORD put = 0;
    bool timedOut = false;
    if (!request.finish(o.handle, started, clampMs(boundMs), put, timedOut)) return false;
    taken = put;
    if (timedOut && taken < length) return fail(ERROR_TIMEOUT);
    return true;
}

bool Win32DeviceIo::queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                                  size_t& obtained) {
    obtained = 0;
    Open o;
    if (!lookup(handle, o)) return false;
    Request request;
    if (!request.get()) return fail(::GetLastError());
    const BOOL started = ::DeviceIoControl(o.handle, kIoctlDeviceId, nullptr, 0, buffer,
                                           chunk(capacity), nullptr, request.get());
    DWORD got = 0;
    bool timedOut = false;
    if (!request.finish(o.handle, started, options_.deviceIdBoundMs, got, timedOut)) return false;
    if (timedOut) return fail(ERROR_TIMEOUT);
    obtained = got;
    return true;
}

bool Win32DeviceIo::getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) {
    Open o;
    if (!lookup(handle, o)) return false;
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(o.handle, &t)) return fail(::GetLastError());
    timeouts = CommTimeouts{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                            t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                            t.WriteTotalTimeoutConstant};
    return true;
}

bool Win32DeviceIo::setCommTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) {
    Open o;
    if (!lookup(handle, o)) return false;
    COMMTIMEOUTS t{timeouts.readIntervalTimeout, timeouts.readTotalTimeoutMultiplier,
                   timeouts.readTotalTimeoutConstant, timeouts.writeTotalTimeoutMultiplier,
                   timeouts.writeTotalTimeoutConstant};
    if (!::SetCommTimeouts(o.handle, &t)) return fail(::GetLastError());
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle.value);
    if (it == open_.end()) return fail(ERROR_INVALID_HANDLE);
    it->second.timeoutsSet = true;
    it->second.timeouts = timeouts;
    return true;
}

bool Win32DeviceIo::close(DeviceHandle handle) {
    HANDLE h = nullptr;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle.value);
        if (it == open_.end()) return fail(ERROR_INVALID_HANDLE);
        h = it->second.handle;
        open_.erase(it);
    }
    if (!::CloseHandle(h)) return fail(::GetLastError());
    return true;
}

uint32_t Win32DeviceIo::lastError() const { return tlsLastError; }

}  // namespace kv::platform::win32
