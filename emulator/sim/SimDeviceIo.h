#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "emulator/PrinterModel.h"
#include "platform/DeviceIo.h"

namespace kv::emulator {

using platform::DeviceIo;
using platform::DeviceHandle;
using platform::ShareMode;
using platform::CommTimeouts;

// How one simulated device misbehaves. Every field may be changed while the
// device is open; the next call sees the change.
struct SimDeviceOptions {
    bool openFails = false;
    // Reads fail outright (the call reports an error, no bytes).
    bool readFails = false;
    // At most this many bytes per read (0: as many as the caller asks for).
    size_t readBurst = 0;
    // This many reads return nothing before anything pending comes through:
    // a printer slow to answer. Counts down as reads happen.
    size_t silentReads = 0;
    // Writes fail outright, nothing reaches the printer.
    bool writeFails = false;
    // At most this many bytes taken per write (0: all of them).
    size_t writeLimit = 0;
    bool deviceIdFails = false;
    bool getTimeoutsFails = false;
    bool setTimeoutsFails = false;
    // What written() keeps at most; later bytes are only counted in
    // writeCalls, so an image of any size costs no more.
    uint64_t keepWritten = kMaxFirmwareImageBytes;
};

// Error codes the simulation reports through lastError().
struct SimErrors {
    // no device at that path, or its open was made to fail
    static constexpr uint32_t notFound =
        static_cast<uint32_t>(std::errc::no_such_file_or_directory);
    // sharing refused
    static constexpr uint32_t busy = static_cast<uint32_t>(std::errc::device_or_resource_busy);
    // not an open handle
    static constexpr uint32_t badHandle = static_cast<uint32_t>(std::errc::bad_file_descriptor);
    // the device was detached under the handle
    static constexpr uint32_t gone = static_cast<uint32_t>(std::errc::no_such_device);
    // an injected read, write, query or time-out failure
    static constexpr uint32_t ioFailure = static_cast<uint32_t>(std::errc::io_error);
};

// A world of local printers: emulator models attached at USB device paths
// and at "LPT1:".."LPT3:". Reads never wait: with nothing pending they return
// at once with 0 bytes, as a USB printer does. Paths match ignoring case.
// Safe to use from several threads.
class SimDeviceIo final : public DeviceIo {
public:
    // A model may be null: a port that opens but has nothing behind it (it
    // takes writes, answers nothing, and fails the device-ID query).
    // Attaching again at a path replaces the device; handles to the old one
    // then fail as if it was unplugged.
    void attach(const std::string& path, std::shared_ptr<PrinterModel> model,
                SimDeviceOptions options = {});
    void detach(const std::string& path);

    void setOptions(const std::string& path, const SimDeviceOptions& options);
    SimDeviceOptions options(const std::string& path) const;

    // Bytes the next reads deliver ahead of the model's own replies, one
    // chunk per read at most (a read smaller than the chunk leaves the rest).
    void queueRead(const std::string& path, std::vector<uint8_t> chunk);

    // The port's time-outs, as a handle reads and writes them. They belong to
    // the device, so they outlive the handle that set them.
    void setDeviceTimeouts(const std::string& path, const CommTimeouts& timeouts);
    CommTimeouts deviceTimeouts(const std::string& path) const;

    // What reached the device (up to keepWritten bytes), for "no request was
    // written" assertions.
    std::vector<uint8_t> written(const std::string& path) const;
    size_t writeCalls(const std::string& path) const;
    size_t readCalls(const std::string& path) const;
    size_t deviceIdQueries(const std::string& path) const;
    void clearRecords(const std::string& path);

    // Handles currently open on the device at path, or on all devices.
    size_t openHandles(const std::string& path) const;
    size_t openHandles() const;

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
    struct Device {
        std::shared_ptr<PrinterModel> model;
        SimDeviceOptions options;
        CommTimeouts timeouts;
        std::deque<std::vector<uint8_t>> scripted;
        std::vector<uint8_t> written;
        size_t writeCalls = 0;
        size_t readCalls = 0;
        size_t deviceIdQueries = 0;
        bool attached = true;
    };
    struct OpenHandle {
        std::shared_ptr<Device> device;
        ShareMode share;
    };

    static std::string key(const std::string& path);
    Device& deviceAt(const std::string& path) const;  // throws when nothing is attached
    // The device behind an open handle, or null after setting the error.
    Device* usable(DeviceHandle handle);
    void fail(uint32_t code);

    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Device>> devices_;
    std::map<int64_t, OpenHandle> handles_;
    int64_t nextHandle_ = 1;
    std::map<std::thread::id, uint32_t> lastErrors_;
};

}  // namespace kv::emulator
