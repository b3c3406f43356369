#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/PrintSpooler.h"
#include "state/JournalEntry.h"

namespace kv {

// The print queues as they were before the switch, and the switched copy.
struct SpoolerState {
    bool portsMoved = false;
    // Every local queue as the spooler listed it; never modified.
    std::optional<std::vector<platform::QueueRecord>> savedQueueInfo;
    // A copy of savedQueueInfo whose switched queues have the port "FILE:".
    std::optional<std::vector<platform::QueueRecord>> workingQueueInfo;
    uint32_t queueCount = 0;

    // The journal this run keeps: the queues it switched, and those an
    // earlier run left switched and could not be restored yet.
    bool journalInUse = false;
    std::vector<JournalEntry> journalOwn;
    std::vector<JournalEntry> journalCarried;

    // Set when the program ends on a signal: nothing is switched any more.
    bool queuesClosed = false;
    // The switch, the restore and the restore on a signal never overlap.
    std::mutex queueMutex;
};

}  // namespace kv
