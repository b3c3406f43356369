#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Result.h"

namespace kv::platform {

// Port status bits of the USB printer class (GET_PORT_STATUS).
inline constexpr uint8_t kPortNotError = 0x08;
inline constexpr uint8_t kPortSelected = 0x10;
inline constexpr uint8_t kPortPaperEmpty = 0x20;

// The device side of a USB printer: plugging in and out, the bulk data both
// ways and the port status the host reads. The emulator plays a printer on
// it; on Linux it is the kernel's printer gadget function (linux/).
class UsbGadget {
public:
    virtual ~UsbGadget() = default;

    // The printer appears on the bus with this IEEE 1284 device ID. Each
    // failure below says why, for the log.
    virtual Result<void> plug(const std::string& deviceId) = 0;
    // The printer leaves the bus; what was queued either way is gone.
    virtual void unplug() = 0;

    // Bytes the host wrote: waits up to waitMs for some. 0 when none came; a
    // failure when not plugged or the host has not configured it yet.
    virtual Result<size_t> read(uint8_t* buffer, size_t capacity, uint32_t waitMs) = 0;
    // True when everything written before has been taken by the host, so a
    // write now is the next thing the host reads.
    virtual bool idle() = 0;
    // Queues bytes for the host to read.
    virtual Result<void> write(const uint8_t* data, size_t length) = 0;

    // The port status byte, of the kPort* bits.
    virtual Result<void> setPortStatus(uint8_t bits) = 0;
};

}  // namespace kv::platform
