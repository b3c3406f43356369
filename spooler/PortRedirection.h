#pragma once
#include <array>
#include <string_view>

#include "platform/Services.h"
#include "state/PrinterState.h"
#include "state/SpoolerState.h"

namespace kv {

inline constexpr std::string_view filePortName = platform::kDummyPortName;

inline constexpr size_t kDriverNameSlots = 100;
// Searched in this order up to "end"; the first name found inside a queue's
// driver name makes it a KV queue.
inline constexpr std::array<std::string_view, kDriverNameSlots> kvDriverNames = {
    "KV ZOP2002F PT", "KV ZOP2003F PT", "KV ZOW2002F PT", "KV ZOW2003F PT", "KV ZOW2004F PT",
    "KV ZOW3002F PT", "KV ZOW3003F PT", "KV ZOW3004F PT", "KV ZOP2002F",    "KV ZOP2003F",
    "KV ZOW2002F",    "KV ZOW2003F",    "KV ZOW2004F",    "KV ZOW3002F",    "KV ZOW3003F",
    "KV ZOW3004F",    "KV ZOP2002G",    "KV ZOP2003G",    "KV ZOW2002G",    "KV ZOW2003G",
    "KV ZOW2004G",    "KV ZOW3002G",    "KV ZOW3003G",    "KV ZOW3004G",    "Generic / Text Only",
    "KV ZOR38",       "KV ZOR-24i",     "KV ZOR22G",      "KV ZOR22A",      "KV ZOR22F",
    "KV ZOR12G",      "KV ZOR13G",      "KV ZOR12G PT",   "KV ZOR13G PT",   "KV ZOR12F PT",
    "KV ZOR13F PT",   "KV ZOR12A",      "KV ZOR12A BTP",  "KV ZOR12A BPP",  "KV ZOR13A",
    "KV ZOR13A BTP",  "KV ZOR13A BPP",  "KV ZOR12A PT",   "KV ZOR13A PT",   "end",
};

// Queues with exactly one of these drivers are never switched.
inline constexpr std::array<std::string_view, 6> excludedDriverNames = {
    "KV ZOR12A", "KV ZOR13A", "KV ZOR12A BTP", "KV ZOR13A BTP", "KV ZOR12A BPP", "KV ZOR13A BPP",
};

inline constexpr const char* kNoPrinterDriverText =
    "EnumeratePrinters - No printer driver installed";
inline constexpr const char* kNoMemoryText =
    "EnumeratePrinters - Could not allocate memory for port reassigment";

// Switches every KV queue on a USB or parallel port to "FILE:" and keeps
// the queues as they were. True when the pass ran (also when nothing needed
// switching or the queues were already switched); false when the records
// could not be held in memory.
[[nodiscard]] bool SetPortsToFile(platform::Services& sys, SpoolerState& spooler,
                                  PrinterState& printer);
// Writes the kept record back to every queue whose port was changed. Safe
// at any time.
void RestorePortsToOriginal(platform::Services& sys, SpoolerState& spooler);
// Changes (toFile) or rewrites one queue; keepStatus skips the test of the
// queue's current status. Always true; failures are shown in boxes.
bool SetPortToFile(platform::Services& sys, platform::QueueRecord& record, bool toFile,
                   bool keepStatus);

// For callers holding the whole application state.
template <typename State>
[[nodiscard]] bool SetPortsToFile(platform::Services& sys, State& state) {
    return SetPortsToFile(sys, static_cast<SpoolerState&>(state),
                          static_cast<PrinterState&>(state));
}

// The restore before the program ends on a signal: waits for a switch or
// restore in progress, puts the queues back and lets no later switch happen.
void restoreQueuesForExit(platform::Services& sys, SpoolerState& spooler);

// Whether the switch takes a queue, or the first rule that keeps it.
enum class QueueVerdict {
    Switch,
    NotUsbOrParallel,
    OfflineStatus,
    WorkOffline,
    ExcludedDriver,
    NotKvDriver,
};
QueueVerdict classifyQueue(const platform::QueueRecord& record);
std::string_view verdictText(QueueVerdict verdict);

// The first of kvDriverNames inside driverName, or nothing.
std::optional<std::string_view> findKvDriverName(std::string_view driverName);
bool isExcludedDriver(std::string_view driverName);

}  // namespace kv
