#pragma once
#include <map>
#include <mutex>
#include <set>

#include "platform/PrintSpooler.h"

namespace kv::platform::win32 {

// The Windows print spooler at level 2 (PRINTER_INFO_2): EnumPrintersA,
// OpenPrinterA with full access, GetPrinterA, SetPrinterA, ClosePrinter.
//
// A queue's port is its own location: portName and location both hold
// pPortName. Switching to "FILE:" first pauses the queue (unless it is
// paused already), so no job goes to the file port; pointing it back at
// its former port resumes it when this object paused it (or adopted the
// pause from a journal). A spooler that knows no pause command switches
// the port without it. Only pPortName and the pause change: the rest of the
// record is read afresh and written back as the spooler gave it.
class WinspoolSpooler final : public PrintSpooler {
public:
    Result<std::vector<QueueRecord>> enumerateLocal() override;
    Result<QueueHandle> open(const std::string& printerName) override;
    Result<QueueRecord> get(QueueHandle handle) override;
    Result<void> set(QueueHandle handle, const QueueRecord& record) override;
    void adoptHold(QueueHandle handle) override;
    void close(QueueHandle handle) override;

private:
    struct Open {
        void* handle;  // HANDLE of the spooler
        std::string name;
    };
    Result<Open> lookup(QueueHandle handle);

    std::mutex mutex_;
    int64_t next_ = 1;
    std::map<int64_t, Open> open_;
    // Queues paused by a switch, to be resumed when pointed back.
    std::set<std::string> holds_;
};

}  // namespace kv::platform::win32
