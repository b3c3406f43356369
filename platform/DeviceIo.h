#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/DeviceHandle.h"

namespace kv::platform {

// Who else may have the device open while we hold it.
enum class ShareMode {
    Exclusive,  // refused while any other handle is open, and blocks later opens
    Shared,     // read and write sharing: coexists with other shared handles
};

// The communication time-outs of a port, in milliseconds (multipliers per
// byte). A zero total means that total imposes no time-out.
struct CommTimeouts {
    uint32_t readIntervalTimeout = 0;
    uint32_t readTotalTimeoutMultiplier = 0;
    uint32_t readTotalTimeoutConstant = 0;
    uint32_t writeTotalTimeoutMultiplier = 0;
    uint32_t writeTotalTimeoutConstant = 0;
    friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

// The control code the device-ID query stands for; callers show it in their
// error box.
inline constexpr uint32_t kIoctlDeviceId = 0x16000C;

// Largest device-ID reply the query hands back (the callers' buffer).
inline constexpr size_t kDeviceIdCapacity = 1024;

// Local printer devices: USB printers by the device path the enumerator
// lists, parallel printers by the port names "LPT1:" .. "LPT3:".
//
// Every call is synchronous and bounded: a device that does not answer makes
// a read return with 0 bytes (or fail), never hang. A handle is used by one
// thread at a time; different handles may be used from different threads.
class DeviceIo {
public:
    virtual ~DeviceIo() = default;

    // Opens an existing device for reading and writing. Invalid handle on
    // failure (lastError() tells why).
    virtual DeviceHandle open(const std::string& path, ShareMode share) = 0;

    // One read of at most `capacity` bytes. True when the call succeeded, with
    // `obtained` set (0 when nothing was pending). On failure `obtained` is 0.
    [[nodiscard]] virtual bool read(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                                    size_t& obtained) = 0;

    // One write. True when the call succeeded, with `taken` set to the bytes
    // the device accepted, which may be fewer than `length`.
    [[nodiscard]] virtual bool write(DeviceHandle handle, const uint8_t* data, size_t length,
                                     size_t& taken) = 0;

    // The IEEE 1284 device-ID text (without any length prefix), at most
    // `capacity` bytes of it. False when the device does not answer it.
    [[nodiscard]] virtual bool queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                                             size_t& obtained) = 0;

    [[nodiscard]] virtual bool getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) = 0;
    [[nodiscard]] virtual bool setCommTimeouts(DeviceHandle handle,
                                               const CommTimeouts& timeouts) = 0;

    // Drops what the device sent that no read has asked for yet, so that
    // the first read after a request brings the answer to that request
    // rather than something older. Drivers that fetch ahead of the reads
    // hold such bytes (usblp keeps a read outstanding at all times);
    // devices that deliver only when read hold none. Returns the bytes
    // dropped; bounded in time like every call.
    virtual size_t discardStaleInput(DeviceHandle handle) {
        (void)handle;
        return 0;
    }

    // False for a handle that is not open (the program closes only what it
    // opened, so it does not ask).
    virtual bool close(DeviceHandle handle) = 0;

    // The platform's own code for the most recent failed call made by the
    // calling thread (errno values on Linux); 0 before any failure.
    virtual uint32_t lastError() const = 0;
};

}  // namespace kv::platform
