#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/DeviceIo.h"

namespace kv::platform::linux_impl {

struct LinuxDeviceIoOptions {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::string procRoot = "/proc";
    // A read whose handle sets no read total waits this long for a first
    // byte, then returns with none.
    uint32_t defaultReadBoundMs = 500;
    // A write whose handle sets no write total gives up after this long.
    uint32_t defaultWriteBoundMs = 15000;
};

// The local printer devices of a Linux machine: USB printers on their usblp
// nodes (/dev/usb/lpN, found from the device path through sysfs), and
// "LPT1:".."LPT3:" on /dev/lp0../dev/lp2. An absolute path opens that node.
//
// Nodes are opened non-blocking, and every read and write waits with a
// bound: a read returns with 0 bytes once its bound passed without data; a
// write that could not place all its bytes in time fails with ETIMEDOUT
// (`taken` tells how many went out). The bounds come from the handle's
// communication time-outs, the totals in milliseconds: a read waits the
// read total (constant + multiplier x capacity), or returns at once when the
// interval is 0xFFFFFFFF and the totals are 0, or else the default bound;
// a write waits its write total, or the default bound when that is 0.
//
// Time-outs belong to the handle. On a parallel port the write-total
// constant is also given to the lp driver (LPSETTIMEOUT_NEW, LPSETTIMEOUT on
// kernels without it), which bounds writes of blocking users of the port.
//
// Exclusive opens take flock(LOCK_EX | LOCK_NB) on the node and fail with
// EBUSY while another holds it; shared opens take no lock. (usblp and lp
// themselves admit one open at a time and answer a second with EBUSY.)
class LinuxDeviceIo final : public DeviceIo {
public:
    explicit LinuxDeviceIo(LinuxDeviceIoOptions options = {});
    ~LinuxDeviceIo() override;
    LinuxDeviceIo(const LinuxDeviceIo&) = delete;
    LinuxDeviceIo& operator=(const LinuxDeviceIo&) = delete;

    // The node a path stands for; empty when it names none.
    std::string resolve(const std::string& path) const;

    DeviceHandle open(const std::string& path, ShareMode share) override;
    bool read(DeviceHandle handle, uint8_t* buffer, size_t capacity, size_t& obtained) override;
    bool write(DeviceHandle handle, const uint8_t* data, size_t length, size_t& taken) override;
    // USB: the usblp device-ID ioctl. Parallel: the kernel's IEEE 1284 probe
    // data of the port, when it has any.
    bool queryDeviceId(DeviceHandle handle, uint8_t* buffer, size_t capacity,
                       size_t& obtained) override;
    bool getCommTimeouts(DeviceHandle handle, CommTimeouts& timeouts) override;
    bool setCommTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) override;
    // USB: reads and drops what usblp fetched ahead, and what arrives
    // within a short settling time after it. Parallel ports hold nothing
    // ahead: a read there is a reverse transfer of its own.
    size_t discardStaleInput(DeviceHandle handle) override;
    bool close(DeviceHandle handle) override;
    uint32_t lastError() const override;

private:
    enum class Kind { Usb, Parallel, Other };
    struct Open {
        Kind kind = Kind::Other;
        int parallelPort = -1;  // N of /dev/lpN
        CommTimeouts timeouts;
        bool unsettledWrite = false;
    };
    // A copy of the handle's record; false (EBADF) when it is not open.
    bool lookup(DeviceHandle handle, Open& out);
    Kind kindOf(const std::string& node, int& parallelPort) const;

    LinuxDeviceIoOptions options_;
    mutable std::mutex mutex_;
    std::map<int, Open> open_;
};

// The usblp device-ID reply: a two-byte big-endian length that counts
// itself, then the ID text. The text alone, bounded by the reply size.
std::string parseUsblpDeviceId(const uint8_t* reply, size_t size);

// The parallel-port probe data the kernel shows (lines "CLASS:...;",
// "MODEL:...;", "MANUFACTURER:...;", "DESCRIPTION:...;", "COMMAND SET:...;")
// written back as an IEEE 1284 ID ("MFG:...;CMD:...;MDL:...;CLS:...;DES:...;").
// Keys the kernel does not keep are lost. Empty when there is no field.
std::string deviceIdFromProbe(std::string_view probe);

}  // namespace kv::platform::linux_impl
