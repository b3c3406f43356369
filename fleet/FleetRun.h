#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/Plan.h"
#include "fleet/PrinterSlot.h"
#include "fleet/PrinterWorld.h"
#include "fleet/Scan.h"
#include "fleet/Targets.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

inline constexpr size_t kDefaultParallel = 32;
inline constexpr size_t kMaxParallel = 256;

struct FleetSettings {
    size_t parallel = kDefaultParallel;
    // Printers flashed first; the rest start only when all of them are
    // verified. 0: none.
    size_t canary = 1;
    // No new printer starts once this many failed, mismatched or did not
    // come back. 0: no limit.
    size_t maxFailures = 3;
    bool flashSameVersion = false;
    // An image without a version marker: the canary accepts "unchecked".
    bool uncheckedOk = false;
};

// What stopped the run before every planned printer was started.
enum class StopRule { None, Canary, MaxFailures, Signal, Stop };
std::string_view stopRuleText(StopRule rule);

// Runs `task(0..count-1)` on at most `parallel` threads of its own, in
// order of index; returns when every task has ended.
void runBounded(size_t count, size_t parallel, const std::function<void(size_t)>& task);

// Many network printers in one run: scan, plan, flash. Each printer has a
// slot that its worlds post to; a front end (terminal or window) draws the
// slots and computes nothing of its own about printers or verdicts.
class Fleet {
public:
    Fleet(SharedServices shared, std::vector<Endpoint> targets, size_t parallel);

    size_t size() const { return slots_.size(); }
    PrinterSlot& slot(size_t index) { return *slots_[index]; }
    const PrinterSlot& slot(size_t index) const { return *slots_[index]; }

    // Identifies every target as Find Ethernet Printer does, with the scan's
    // bounds, at most `parallel` at once. `answered` (when given) gets each
    // target's result as it comes, on the thread that scanned it.
    using ScanAnswer = std::function<void(size_t index, const ScanResult&)>;
    void scan(const ScanAnswer& answered = {});
    const std::vector<ScanResult>& scans() const { return scans_; }

    // Decides per printer; those not to be flashed end here, with their
    // reason in their slot.
    void plan(std::shared_ptr<const PreloadedImage> image, const FleetSettings& settings);
    const std::vector<PlanEntry>& planned() const { return plan_; }
    size_t plannedFlashes() const;

    // Flashes the planned printers: the canary first, then the rest, one
    // printer's failure never stopping the others; returns when every
    // printer started has ended. Records carry `fleetId`.
    void run(const std::string& fleetId);

    // A stop request (a signal, or 0 for the window's Stop): no printer
    // starts from now on; those started go on to their verdict. Safe from
    // any thread.
    void requestStop(int signalNumber);
    StopRule stoppedBy() const;
    int stopSignal() const { return stopSignal_.load(); }
    // Planned printers that were never started.
    std::vector<size_t> untouched() const;
    // Calls a fleet world made on its refusing local services (none
    // expected).
    uint64_t localCalls() const { return localCalls_.load(); }

private:
    void flashOne(size_t index, const std::string& fleetId);
    void stopBy(StopRule rule);
    void leaveUntouched(size_t index);

    SharedServices shared_;
    std::vector<Endpoint> targets_;
    std::vector<std::unique_ptr<PrinterSlot>> slots_;
    size_t parallel_;
    std::vector<ScanResult> scans_;
    std::vector<PlanEntry> plan_;
    std::shared_ptr<const PreloadedImage> image_;
    FleetSettings settings_;

    mutable std::mutex mutex_;
    StopRule stopRule_ = StopRule::None;
    std::atomic<int> stopSignal_{0};
    std::atomic<size_t> failures_{0};
    std::atomic<uint64_t> localCalls_{0};
    std::vector<uint8_t> started_;
    // When the run began on each printer's clock, for its log.
    std::vector<uint64_t> runStartMs_;
};

}  // namespace kv::fleet
