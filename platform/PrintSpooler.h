#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace kv::platform {

// Status bit of a queue whose printer reports itself offline.
inline constexpr uint32_t kPrinterStatusOffline = 0x80;
// Attribute bit of a queue that is not taking work (stopped, or not accepting jobs).
inline constexpr uint32_t kPrinterAttributeWorkOffline = 0x400;

// The dummy port of a switched queue, and the device it stands for.
inline constexpr std::string_view kDummyPortName = "FILE:";
inline constexpr std::string_view kDummyDeviceUri = "file:/dev/null";

// One print queue as the spooler reports it. A plain value: copying it
// copies every text.
struct QueueRecord {
    std::string printerName;
    // Where the queue prints, shown so that the redirection rules read it
    // like a local port: "USB..." for USB printers, "LPT1:".."LPT3:" for the
    // parallel ports, "FILE:" for the dummy device, anything else as it is.
    std::string portName;
    std::string driverName;
    uint32_t attributes = 0;
    uint32_t status = 0;
    // The spooler's own address of the device (a CUPS device URI). This,
    // not portName, is what goes back to the queue on a restore.
    std::string location;

    friend bool operator==(const QueueRecord&, const QueueRecord&) = default;
};

struct QueueHandle {
    int64_t value = -1;
    bool valid() const { return value >= 0; }
    friend bool operator==(QueueHandle, QueueHandle) = default;
};

// The print spooler at the level of whole queue records: list, open, read,
// write, close. Never prompts for a password; a refusal is a failure with
// its reason. Callable from any thread.
class PrintSpooler {
public:
    virtual ~PrintSpooler() = default;

    // Every local queue (no remote queues, no classes), in the spooler's order.
    // A failure says why the spooler could not be asked; callers treat it as
    // "no queues".
    virtual Result<std::vector<QueueRecord>> enumerateLocal() = 0;
    // Fails when the queue does not exist or cannot be reached.
    virtual Result<QueueHandle> open(const std::string& printerName) = 0;
    // The queue's current record.
    virtual Result<QueueRecord> get(QueueHandle handle) = 0;
    // Points the queue where the record's port says. portName kDummyPortName
    // holds the queue (its jobs wait, none is lost) unless it is stopped
    // already, and points it at the dummy device; a portName that is the
    // presentation of the record's location points the queue back there and
    // then releases a hold this spooler placed (or adopted). Only the device
    // and the hold change; the other fields are the queue's own and are not
    // written.
    virtual Result<void> set(QueueHandle handle, const QueueRecord& record) = 0;
    // The queue's hold was placed by a switch of an earlier run, as that
    // run's journal says: the next set that points it back releases it.
    virtual void adoptHold(QueueHandle handle) = 0;
    virtual void close(QueueHandle handle) = 0;
};

// The port a device URI is shown as (see QueueRecord::portName).
std::string portForDeviceUri(std::string_view uri);

}  // namespace kv::platform
