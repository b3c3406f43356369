#include "platform/win32/WinspoolSpooler.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace kv::platform::win32 {

namespace {

thread_local std::string problemText;

std::string text(const char* s) { return s ? s : ""; }

bool problem(const std::string& what) {
    problemText = what + " (error " + std::to_string(::GetLastError()) + ")";
    return false;
}

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
bool fetch(HANDLE printer, std::vector<unsigned char>& buffer) {
    DWORD needed = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &needed);
    if (needed == 0) return problem("reading the queue");
    buffer.assign(needed, 0);
    if (!::GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
        return problem("reading the queue");
    }
    return true;
}

// 0, or the error of a refused command.
DWORD control(HANDLE printer, DWORD command, const std::string& what) {
    if (::SetPrinterA(printer, 0, nullptr, command)) return 0;
    const DWORD error = ::GetLastError();
    problemText = what + " (error " + std::to_string(error) + ")";
    return error;
}

// A spooler without the pause and resume commands (Wine's answers
// ERROR_INVALID_LEVEL) can still switch ports; it just cannot hold jobs.
bool pauseUnknown(DWORD error) {
    return error == ERROR_INVALID_LEVEL || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

QueueList WinspoolSpooler::enumerateLocal() {
    QueueList list;
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0) {
        const DWORD error = ::GetLastError();
        // No queue at all answers with nothing to return.
        if (error != 0 && error != ERROR_INSUFFICIENT_BUFFER) {
            problem("listing the queues");
            list.problem = problemText;
        }
        return list;
    }
    std::vector<unsigned char> buffer(needed, 0);
    if (!::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count)) {
        problem("listing the queues");
        list.problem = problemText;
        return list;
    }
    const auto* infos = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) list.queues.push_back(toRecord(infos[i]));
    return list;
}

bool WinspoolSpooler::lookup(QueueHandle handle, Open& out) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle.value);
    if (it == open_.end()) {
        problemText = "not an open queue";
        return false;
    }
    out = it->second;
    return true;
}

QueueHandle WinspoolSpooler::open(const std::string& printerName) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!::OpenPrinterA(const_cast<char*>(printerName.c_str()), &printer, &defaults)) {
        problem("opening " + printerName);
        return {};
    }
    std::lock_guard lock(mutex_);
    const int64_t id = next_++;
    open_.emplace(id, Open{printer, printerName});
    return QueueHandle{id};
}

std::optional<QueueRecord> WinspoolSpooler::get(QueueHandle handle) {
    Open o;
    if (!lookup(handle, o)) return std::nullopt;
    std::vector<unsigned char> buffer;
    if (!fetch(o.handle, buffer)) return std::nullopt;
    return toRecord(*reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data()));
}

bool WinspoolSpooler::set(QueueHandle handle, const QueueRecord& record) {
    Open o;
    if (!lookup(handle, o)) return false;
    const bool toFile = record.portName == kDummyPortName;
    if (!toFile && (record.location.empty() || record.location != record.portName)) {
        problemText = "the port " + record.portName + " of " + o.name + " is not its own";
        return false;
    }
    std::vector<unsigned char> buffer;
    if (!fetch(o.handle, buffer)) return false;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    const bool samePort = text(info->pPortName) == record.portName;
    const bool paused = (info->Status & PRINTER_STATUS_PAUSED) != 0;

    std::string port = record.portName;
    info->pPortName = port.data();
    // Leave the queue's security as it is.
    info->pSecurityDescriptor = nullptr;

    if (toFile) {
        if (samePort) return true;
        bool pauseIt = !paused;
        if (pauseIt) {
            const DWORD error = control(o.handle, PRINTER_CONTROL_PAUSE, "pausing " + o.name);
            if (error != 0 && !pauseUnknown(error)) return false;
            pauseIt = error == 0;
        }
        if (!::SetPrinterA(o.handle, 2, buffer.data(), 0)) {
            problem("changing the port of " + o.name);
            const std::string why = problemText;
            if (pauseIt) control(o.handle, PRINTER_CONTROL_RESUME, "resuming " + o.name);
            problemText = why;
            return false;
        }
        if (pauseIt) {
            std::lock_guard lock(mutex_);
            holds_.insert(o.name);
        }
        return true;
    }
    if (!samePort && !::SetPrinterA(o.handle, 2, buffer.data(), 0)) {
        return problem("changing the port of " + o.name);
    }
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        held = holds_.count(o.name) > 0;
    }
    if (!held) return true;
    if (paused && control(o.handle, PRINTER_CONTROL_RESUME, "resuming " + o.name) != 0) return false;
    std::lock_guard lock(mutex_);
    holds_.erase(o.name);
    return true;
}

void WinspoolSpooler::adoptHold(QueueHandle handle) {
    Open o;
    if (!lookup(handle, o)) return;
    std::lock_guard lock(mutex_);
    holds_.insert(o.name);
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

std::string WinspoolSpooler::lastProblem() { return problemText; }

}  // namespace kv::platform::win32
