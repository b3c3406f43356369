#pragma once
#include <string>

#include "state/PrinterState.h"
#include "state/SpoolerState.h"
#include "tests/support/SimWorld.h"

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
struct SpoolerWorld : SimWorld {
    // The part of the state that travels with the printer record.
    PrinterState& printer = state;

    std::string portOf(const std::string& name) const {
        const auto q = spooler.queue(name);
        return q ? q->portName : "(gone)";
    }
};

}  // namespace kv::testing
