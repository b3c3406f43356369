#pragma once
#include <map>
#include <memory>
#include <mutex>

#include "platform/DeviceIo.h"

namespace kv::platform::win32 {

struct Win32DeviceIoOptions {
    // A read whose handle has no read total set through this object waits
    // this long for a first byte, then returns with none.
    uint32_t defaultReadBoundMs = 500;
    // A write whose handle has no write total set gives up after this long.
    uint32_t defaultWriteBoundMs = 15000;
    // The device-ID request waits at most this long.
    uint32_t deviceIdBoundMs = 5000;
};

// Local printer devices through CreateFileA on the device paths the
// enumerator lists and on "LPT1:".."LPT3:" (or any other name the system
// opens). The device-ID query is DeviceIoControl with kIoctlDeviceId, whose
// reply is the ID text itself.
//
// Every device is opened for overlapped I/O, so each read, write and
// device-ID request waits with a bound of our own whatever the driver does:
// a read whose bound passes returns with the bytes it has (none); a write
// whose bound passes is cancelled and fails with ERROR_TIMEOUT (`taken`
// tells how many bytes went out). The bounds follow the communication
// time-outs last set through this object on the handle, as on Linux: a read
// waits its read total (constant + multiplier x capacity), or returns at
// once when the interval is 0xFFFFFFFF and the totals are 0, or else the
// default; a write waits its write total, or the default when that is 0.
// The time-outs are also given to the driver (SetCommTimeouts), and read
// from it (GetCommTimeouts).
class Win32DeviceIo final : public DeviceIo {
public:
    explicit Win32DeviceIo(Win32DeviceIoOptions options = {});
    ~Win32DeviceIo() override;
    Win32DeviceIo(const Win32DeviceIo&) = delete;
    Win32DeviceIo& operator=(const Win32DeviceIo&) = delete;

    DeviceHandle open(const std::string& path, ShareMode share) override;
    bool read(DeviceHandle handle, uint8_t* buffer, size_t capacity, size_t& obtained) override;
    bool write(DeviceHandle handle, const uint8_t* data, size_t length, size_t& taken) override;
    bool queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                       size_t& obtained) override;
    bool getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) override;
    bool setCommTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) override;
    bool close(DeviceHandle handle) override;
    uint32_t lastError() const override;

private:
    struct Open {
        void* handle = nullptr;  // HANDLE
        bool timeoutsSet = false;
        CommTimeouts timeouts;
    };
    bool lookup(DeviceHandle handle, Open& out);

    Win32DeviceIoOptions options_;
    std::mutex mutex_;
    int64_t next_ = 1;
    std::map<int64_t, Open> open_;
};

}  // namespace kv::platform::win32
