#include "platform/win32/WinspoolSpooler.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace kv::platform::win32 {

namespace {

std::string text(const char* s) { return s ? s : ""; }

Failure refused(const std::string& what, DWORD error) {
    return Failure{what + " (error " + std::to_string(error) + ")"};
}

Failure problem(const std::string& what) { return refused(what, ::GetLastError()); }

QueueRecord toRecord(const PRINTER_INFO_2A& info) {
    QueueRecord r;
    r.printerName = text(info.pPrinterName);
    r.portName = text(info.pPortName);
    r.driverName = text(info.pDriverName);
    r.attributes = info.Attributes;
    r.status = info.Status;
    r.location = r.portName;
    return r;
}

// The queue's level-2 record in a buffer of the size the spooler asks for.
Result<std::vector<unsigned char>> fetch(HANDLE printer) {
    DWORD needed = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &needed);
    if (needed == 0) return problem("reading the queue");
    std::vector<unsigned char> buffer(needed, 0);
    if (!::GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
        return problem("reading the queue");
    }
    return buffer;
}

// 0, or the error of a refused command.
DWORD control(HANDLE printer, DWORD command) {
    return ::SetPrinterA(printer, 0, nullptr, command) ? 0 : ::GetLastError();
}

// A spooler without the pause and resume commands (Wine's answers
// ERROR_INVALID_LEVEL) can still switch ports; it just cannot hold jobs.
bool pauseUnknown(DWORD error) {
    return error == ERROR_INVALID_LEVEL || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

Result<std::vector<QueueRecord>> WinspoolSpooler::enumerateLocal() {
    std::vector<QueueRecord> queues;
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) {
        const DWORD error = ::GetLastError();
        // No queue at all answers with nothing to return.
        if (error != 0 && error != ERROR_INSUFFICIENT_BUFFER) {
            return refused("listing the queues", error);
        }
        return queues;
    }
    std::vector<unsigned char> buffer(needed, 0);
    if (!::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) {
        return problem("listing the queues");
    }
    const auto* infos = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) queues.push_back(toRecord(infos[i]));
    return queues;
}

Result<WinspoolSpooler::Open> WinspoolSpooler::lookup(QueueHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle.value);
    if (it == open_.end()) return Failure{"not an open queue"};
    return it->second;
}

Result<QueueHandle> WinspoolSpooler::open(const std::string& printerName) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!::OpenPrinterA(const_cast<char*>(printerName.c_str()), &printer, &defaults)) {
        return problem("opening " + printerName);
    }
    std::lock_guard lock(mutex_);
    const int64_t id = next_++;
    open_.emplace(id, Open{printer, printerName});
    return QueueHandle{id};
}

Result<QueueRecord> WinspoolSpooler::get(QueueHandle handle) {
    const auto o = lookup(handle);
    if (!o) return o.failure();
    const auto buffer = fetch(o->handle);
    if (!buffer) return buffer.failure();
    return toRecord(*reinterpret_cast<const PRINTER_INFO_2A*>(buffer->data()));
}

Result<void> WinspoolSpooler::set(QueueHandle handle, const QueueRecord& record) {
    const auto found = lookup(handle);
    if (!found) return found.failure();
    const Open& o = *found;
    const bool toFile = record.portName == kDummyPortName;
    if (!toFile && (record.location.empty() || record.location != record.portName)) {
        return Failure{"the port " + record.portName + " of " + o.name + " is not its own"};
    }
    auto fetched = fetch(o.handle);
    if (!fetched) return fetched.failure();
    std::vector<unsigned char>& buffer = *fetched;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    const bool samePort = text(info->pPortName) == record.portName;
    const bool paused = (info->Status & PRINTER_STATUS_PAUSED) != 0;

    std::string port = record.portName;
    info->pPortName = port.data();
    // Leave the queue's security as it is.
    info->pSecurityDescriptor = nullptr;

    if (toFile) {
        if (samePort) return {};
        bool pauseIt = !paused;
        if (pauseIt) {
            const DWORD error = control(o.handle, PRINTER_CONTROL_PAUSE);
            if (error != 0 && !pauseUnknown(error)) return refused("pausing " + o.name, error);
            pauseIt = error == 0;
        }
        if (!::SetPrinterA(o.handle, 2, buffer.data(), 0)) {
            const Failure why = problem("changing the port of " + o.name);
            if (pauseIt) control(o.handle, PRINTER_CONTROL_RESUME);
            return why;
        }
        if (pauseIt) {
            std::lock_guard lock(mutex_);
            holds_.insert(o.name);
        }
        return {};
    }
    if (!samePort && !::SetPrinterA(o.handle, 2, buffer.data(), 0)) {
        return problem("changing the port of " + o.name);
    }
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        held = holds_.count(o.name) > 0;
    }
    if (!held) return {};
    if (paused) {
        if (const DWORD error = control(o.handle, PRINTER_CONTROL_RESUME); error != 0) {
            return refused("resuming " + o.name, error);
        }
    }
    std::lock_guard lock(mutex_);
    holds_.erase(o.name);
    return {};
}

void WinspoolSpooler::adoptHold(QueueHandle handle) {
    const auto o = lookup(handle);
    if (!o) return;
    std::lock_guard lock(mutex_);
    holds_.insert(o->name);
}

void WinspoolSpooler::close(QueueHandle handle) {
    HANDLE printer = nullptr;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle.value);
        if (it == open_.end()) return;
        printer = it->second.handle;
        open_.erase(it);
    }
    ::ClosePrinter(printer);
}

}  // namespace kv::platform::win32
