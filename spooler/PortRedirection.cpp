#include "spooler/PortRedirection.h"

#include <algorithm>
#include <new>
#include <set>

#include "platform/DurableFile.h"
#include "spooler/QueueJournal.h"

namespace kv {

using platform::QueueRecord;
using platform::tracef;

namespace {

constexpr const char* kNotLocalLine = "Printer not USB or parallel, NOT moving to FILE: !\r\n";

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

enum class PortChange { Written, LeftOffline, Failed };

PortChange changeQueuePort(platform::Services& sys, QueueRecord& record, bool toFile,
                           bool keepStatus) {
    platform::PrintSpooler& spooler = sys.spooler();
    platform::Ui& ui = sys.ui();
    platform::Trace& trace = sys.trace();

    const auto handle = spooler.open(record.printerName);
    if (!handle) {
        platform::box(
            ui, "SetPortToFile - Could not open printer " + record.printerName + ", (Win7 ignore)");
    }
    if (!keepStatus && handle) {
        uint32_t status = record.status;
        if (const auto fresh = spooler.get(*handle)) status = fresh->status;
        if (status & platform::kPrinterStatusOffline) {
            spooler.close(*handle);
            return PortChange::LeftOffline;
        }
    }
    if (toFile) record.portName = std::string(filePortName);
    const platform::Result<void> written =
        handle ? spooler.set(*handle, record) : platform::Result<void>(handle.failure());
    if (!written) {
        const std::string& problem = written.reason();
        if (!problem.empty()) tracef(trace, "SetPortToFile - %s\r\n", problem.c_str());
        platform::box(ui, "SetPrinter - " + record.printerName + " failed, (Win7 ignore)");
    }
    if (handle) spooler.close(*handle);
    return written ? PortChange::Written : PortChange::Failed;
}

bool isPrinterKV(platform::Trace& trace, const std::string& driverName) {
    trace.write("isPrinterKV\r\n");
    trace.write(driverName);
    for (std::string_view name : kvDriverNames) {
        if (name == "end") break;
        tracef(trace, "Testing - %.*s\r\n", static_cast<int>(name.size()), name.data());
        if (contains(driverName, name)) return true;
    }
    trace.write("isPrinterKV did not find KV printer\r\n");
    return false;
}

// Before the first queue changes, the journal names every queue about to
// change; entries an earlier run left behind stay in it.
void writeJournal(platform::Services& sys, SpoolerState& sp) {
    if (!sys.wired.queueJournal) return;
    platform::DurableFile& journal = *sys.wired.queueJournal;
    platform::Trace& trace = sys.trace();

    std::vector<JournalEntry> own;
    std::set<std::string> names;
    for (const QueueRecord& r : *sp.workingQueueInfo) {
        if (classifyQueue(r) != QueueVerdict::Switch) continue;
        own.push_back({r.printerName, r.portName, r.location, true});
        names.insert(r.printerName);
    }
    if (own.empty()) return;

    std::vector<JournalEntry> carried;
    if (journal.exists()) {
        const auto text = journal.read();
        const auto earlier = text ? parseJournal(*text) : std::nullopt;
        if (!earlier) {
            // Never overwrite what we cannot read; this run goes without.
            tracef(trace, "SetPortsToFile - Journal %s could not be read, not replaced\r\n",
                   journal.location().c_str());
            return;
        }
        for (const JournalEntry& e : *earlier) {
            if (!names.count(e.printerName)) carried.push_back(e);
        }
    }
    std::vector<JournalEntry> all = carried;
    all.insert(all.end(), own.begin(), own.end());
    if (!journal.replace(formatJournal(all))) {
        tracef(trace, "SetPortsToFile - Journal %s could not be written\r\n",
               journal.location().c_str());
        return;
    }
    sp.journalInUse = true;
    sp.journalOwn = std::move(own);
    sp.journalCarried = std::move(carried);
}

// After the pass the journal names only the queues that did change.
void trimJournal(platform::Services& sys, SpoolerState& sp, const std::set<std::string>& switched) {
    if (!sp.journalInUse) return;
    std::vector<JournalEntry> own;
    for (const JournalEntry& e : sp.journalOwn) {
        if (switched.count(e.printerName)) own.push_back(e);
    }
    if (own.size() == sp.journalOwn.size()) return;
    sp.journalOwn = std::move(own);
    std::vector<JournalEntry> all = sp.journalCarried;
    all.insert(all.end(), sp.journalOwn.begin(), sp.journalOwn.end());
    platform::DurableFile& journal = sys.queueJournal();
    const bool done = all.empty() ? journal.remove() : journal.replace(formatJournal(all));
    if (!done) {
        tracef(sys.trace(), "SetPortsToFile - Journal %s could not be updated\r\n",
               journal.location().c_str());
    }
}

// After a restore the journal keeps only what is still switched.
void settleJournal(platform::Services& sys, SpoolerState& sp,
                   const std::set<std::string>& stillSwitched) {
    if (!sp.journalInUse) return;
    std::vector<JournalEntry> remaining = sp.journalCarried;
    for (const JournalEntry& e : sp.journalOwn) {
        if (stillSwitched.count(e.printerName)) remaining.push_back(e);
    }
    platform::DurableFile& journal = sys.queueJournal();
    const bool done =
        remaining.empty() ? journal.remove() : journal.replace(formatJournal(remaining));
    if (!done) {
        tracef(sys.trace(), "RestorePortsToOriginal - Journal %s could not be updated\r\n",
               journal.location().c_str());
    }
    sp.journalInUse = false;
    sp.journalOwn.clear();
    sp.journalCarried.clear();
}

void restoreLocked(platform::Services& sys, SpoolerState& sp) {
    platform::Trace& trace = sys.trace();
    trace.write("RestorePortsToOriginal - Entry\r\n");
    std::set<std::string> stillSwitched;
    if (sp.savedQueueInfo && sp.workingQueueInfo) {
        const size_t count = std::min<size_t>(
            {sp.queueCount, sp.savedQueueInfo->size(), sp.workingQueueInfo->size()});
        for (size_t i = 0; i < count; ++i) {
            const QueueRecord& saved = (*sp.savedQueueInfo)[i];
            const QueueRecord& working = (*sp.workingQueueInfo)[i];
            if (saved.portName.empty() || working.portName.empty()) continue;
            if (!saved.printerName.empty()) {
                tracef(trace, "RestorePortsToOriginal - Printer = %s\r\n",
                       saved.printerName.c_str());
            }
            tracef(trace, "RestorePortsToOriginal - Original port name %s\r\n",
                   saved.portName.c_str());
            if (saved.portName != working.portName) {
                QueueRecord record = saved;
                if (changeQueuePort(sys, record, false, true) != PortChange::Written) {
                    stillSwitched.insert(saved.printerName);
                }
            }
        }
    }
    sp.savedQueueInfo.reset();
    sp.workingQueueInfo.reset();
    sp.portsMoved = false;
    settleJournal(sys, sp, stillSwitched);
}

}  // namespace

std::optional<std::string_view> findKvDriverName(std::string_view driverName) {
    for (std::string_view name : kvDriverNames) {
        if (name == "end") break;
        if (contains(driverName, name)) return name;
    }
    return std::nullopt;
}

bool isExcludedDriver(std::string_view driverName) {
    return std::find(excludedDriverNames.begin(), excludedDriverNames.end(), driverName) !=
           excludedDriverNames.end();
}

QueueVerdict classifyQueue(const QueueRecord& record) {
    if (!contains(record.portName, "USB") && !contains(record.portName, "LPT")) {
        return QueueVerdict::NotUsbOrParallel;
    }
    if (record.status & platform::kPrinterStatusOffline) return QueueVerdict::OfflineStatus;
    if (record.attributes & platform::kPrinterAttributeWorkOffline)
        return QueueVerdict::WorkOffline;
    if (isExcludedDriver(record.driverName)) return QueueVerdict::ExcludedDriver;
    if (!findKvDriverName(record.driverName)) return QueueVerdict::NotKvDriver;
    return QueueVerdict::Switch;
}

std::string_view verdictText(QueueVerdict verdict) {
    switch (verdict) {
        case QueueVerdict::Switch: return "held: moved to FILE: while a KV printer is worked on";
        case QueueVerdict::NotUsbOrParallel: return "kept: not USB or parallel";
        case QueueVerdict::OfflineStatus: return "kept: offline";
        case QueueVerdict::WorkOffline: return "kept: stopped or not accepting jobs";
        case QueueVerdict::ExcludedDriver: return "kept: excluded driver";
        case QueueVerdict::NotKvDriver: return "kept: not a KV driver";
    }
    return "";
}

bool SetPortToFile(platform::Services& sys, QueueRecord& record, bool toFile, bool keepStatus) {
    changeQueuePort(sys, record, toFile, keepStatus);
    return true;
}

bool SetPortsToFile(platform::Services& sys, SpoolerState& sp, PrinterState& printer) {
    std::lock_guard lock(sp.queueMutex);
    platform::Trace& trace = sys.trace();
    printer.parallelPortName.clear();
    trace.write("SetPortsToFile - Entry\r\n");
    if (sp.portsMoved) {
        trace.write("SetPortsToFile - Returning because ports already moved\r\n");
        return true;
    }
    if (sp.queuesClosed) {
        trace.write("SetPortsToFile - Returning because the program is ending\r\n");
        return true;
    }
    platform::PrintSpooler& spooler = sys.spooler();
    platform::Ui& ui = sys.ui();

    try {
        auto listed = spooler.enumerateLocal();
        if (!listed) tracef(trace, "EnumeratePrinters - %s\r\n", listed.reason().c_str());
        if (!listed || listed->empty()) {
            platform::box(ui, kNoPrinterDriverText);
            sp.portsMoved = true;
            return true;
        }
        sp.queueCount = static_cast<uint32_t>(listed->size());
        sp.savedQueueInfo = std::move(*listed);
        sp.workingQueueInfo = *sp.savedQueueInfo;
    } catch (const std::bad_alloc&) {
        platform::box(ui, kNoMemoryText);
        return false;
    }

    writeJournal(sys, sp);

    std::set<std::string> switched;
    for (QueueRecord& record : *sp.workingQueueInfo) {
        const char* name = record.printerName.c_str();
        const char* port = record.portName.c_str();
        tracef(trace, "============== SetPortsToFile - Printer to file = %s, port = %s\r\n", name,
               port);
        const bool usb = contains(record.portName, "USB");
        const bool lpt = contains(record.portName, "LPT");
        if (usb) tracef(trace, "%s - %s - Found USB port, move\r\n", port, name);
        if (lpt) tracef(trace, "%s - %s - Found parallel port, move\r\n", port, name);
        if (!usb && !lpt) {
            trace.write(kNotLocalLine);
            continue;
        }
        if (record.status & platform::kPrinterStatusOffline) {
            tracef(trace, "%s - %s - Printer offline status, do not move\r\n", port, name);
            trace.write(kNotLocalLine);
            continue;
        }
        if (record.attributes & platform::kPrinterAttributeWorkOffline) {
            tracef(trace, "%s - %s - Printer offline, do not move\r\n", port, name);
            trace.write(kNotLocalLine);
            continue;
        }
        if (isExcludedDriver(record.driverName)) continue;
        if (!isPrinterKV(trace, record.driverName)) {
            trace.write("Printer was USB or parallel but NOT KV, NOT moving to FILE:!\r\n");
            continue;
        }
        trace.write("Found KV printer\r\n");
        trace.write("Moving KV printer to file\r\n");
        printer.parallelPortName = fitField(record.portName, kParallelPortNameSize);
        if (changeQueuePort(sys, record, true, false) == PortChange::Written) {
            switched.insert(record.printerName);
        }
        trace.write("Moving KV printer to file - Passed!\r\n");
    }
    trimJournal(sys, sp, switched);
    sp.portsMoved = true;
    return true;
}

void RestorePortsToOriginal(platform::Services& sys, SpoolerState& sp) {
    std::lock_guard lock(sp.queueMutex);
    restoreLocked(sys, sp);
}

void restoreQueuesForExit(platform::Services& sys, SpoolerState& sp) {
    std::lock_guard lock(sp.queueMutex);
    sp.queuesClosed = true;
    restoreLocked(sys, sp);
}

}  // namespace kv
