#pragma once
#include <string>

#include "platform/Services.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemorySpooler.h"
#include "platform/sim/ScriptedUi.h"
#include "state/PrinterState.h"
#include "state/SpoolerState.h"

namespace kv::testing {

// A queue with a Windows-style port (no device URI behind it).
inline platform::QueueRecord queue(std::string name, std::string port, std::string driver,
                                   uint32_t status = 0, uint32_t attributes = 0) {
    platform::QueueRecord r;
    r.printerName = std::move(name);
    r.portName = port;
    r.driverName = std::move(driver);
    r.status = status;
    r.attributes = attributes;
    r.location = "loc:" + port;
    return r;
}

// Simulated services around an in-memory spooler and journal.
struct SpoolerWorld {
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::sim::MemorySpooler spooler;
    platform::sim::MemoryFile journal;
    platform::Services sys;
    SpoolerState state;
    PrinterState printer;

    SpoolerWorld() {
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.spooler = &spooler;
        sys.wired.queueJournal = &journal;
    }
    std::string portOf(const std::string& name) const {
        const auto q = spooler.queue(name);
        return q ? q->portName : "(gone)";
    }
};

}  // namespace kv::testing
