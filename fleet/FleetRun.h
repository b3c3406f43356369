#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/FleetSettings.h"
#include "fleet/Plan.h"
#include "fleet/PrinterSlot.h"
#include "fleet/PrinterWorld.h"
#include "fleet/Scan.h"
#include "fleet/Targets.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// What stopped the run before every planned printer was started.
enum class StopRule { None, Canary, MaxFailures, Signal, StopButton, WindowClosed };

struct StopCause {
    StopRule rule = StopRule::None;
    // A signal's number (the exit code is 128 + it) and what the user did
    // ("SIGINT", "Ctrl+C").
    int signalNumber = 0;
    std::string source;

    static StopCause of(StopRule rule) { return {rule, 0, {}}; }
    static StopCause signal(int number, std::string_view source);
    bool byUser() const;
};
// "Stopped by SIGINT", "Stopped by the Stop button", "Stopped: the canary
// printers were not all verified (--canary)".
std::string stopLine(const StopCause& cause);
// What a printer kept from flash mode says: "not started: Stopped by SIGINT".
std::string notStartedDetail(const StopCause& cause);

// Runs `task(0..count-1)` on at most `parallel` threads of its own, in
// order of index; returns when every task has ended.
void runBounded(size_t count, size_t parallel, const std::function<void(size_t)>& task);

// Many network printers: scan, plan, flash. Each printer has a slot that
// its worlds post to; a front end (terminal or window) draws the slots and
// computes nothing of its own about printers or verdicts.
//
// A stop is decided per printer at one point, under the fleet's lock, just
// before flash mode: before it the printer is not started, after it the
// printer finishes. A stop cuts every identification under way.
class Fleet {
public:
    Fleet(SharedServices shared, std::vector<Endpoint> targets, FleetSettings settings);

    size_t size() const { return slots_.size(); }
    PrinterSlot& slot(size_t index) { return *slots_[index]; }
    const PrinterSlot& slot(size_t index) const { return *slots_[index]; }
    const FleetSettings& settings() const { return settings_; }

    // Identifies every target as Find Ethernet Printer does, with the scan's
    // bounds, at most `parallel` at once; a stop ends it within the bounds,
    // the targets not looked at left unscanned. `answered` (when given) gets
    // each target's result as it comes, on the thread that scanned it.
    using ScanAnswer = std::function<void(size_t index, const ScanResult&)>;
    void scan(const ScanAnswer& answered = {});
    // Takes the results of a scan made before (the window's Scan).
    void adoptScans(std::vector<ScanResult> scans);
    const std::vector<ScanResult>& scans() const { return scans_; }

    // Decides per printer; those not to be flashed end here, with their
    // reason in their slot.
    void plan(std::shared_ptr<const PreloadedImage> image);
    const std::vector<PlanEntry>& planned() const { return plan_; }
    size_t plannedFlashes() const;

    // Flashes the planned printers: the canary first, then the rest, one
    // printer's failure never stopping the others; returns when every
    // printer started has ended. Records carry `fleetId`.
    void run(const std::string& fleetId);

    // No printer enters flash mode from now on, and identifications under
    // way are cut; those in flash mode go on to their verdict. Safe from
    // any thread; the first cause is kept. Returns how many printers were
    // in flash mode then.
    size_t requestStop(const StopCause& cause);
    StopCause stopCause() const;
    bool stopped() const { return stopped_.load(); }
    // Printers in flash mode now (entered, no verdict yet).
    std::vector<Endpoint> inFlashMode() const;
    // Planned printers that never entered flash mode because of a rule or
    // a stop.
    std::vector<size_t> untouched() const;
    // Calls a fleet world made on its refusing local services (none
    // expected).
    uint64_t localCalls() const { return localCalls_.load(); }

private:
    void flashOne(size_t index, const std::string& fleetId);
    void flashIdentified(PrinterWorld& world, size_t index);
    // Its turn has come: true, and its identification tracked, unless the
    // run stopped or it was ended while it waited.
    bool begin(size_t index, BoundedNetwork* network);
    bool admit(size_t index);
    bool isAdmitted(size_t index) const;
    bool mayStartLocked();
    void stopBy(const StopCause& cause);
    void leaveUntouched(size_t index);
    void endSkipped(size_t index, Outcome outcome, const std::string& detail);
    // Identifications that a stop cuts; those of printers admitted to flash
    // mode leave at once.
    void track(size_t index, BoundedNetwork* network);

    SharedServices shared_;
    std::vector<Endpoint> targets_;
    std::vector<std::unique_ptr<PrinterSlot>> slots_;
    FleetSettings settings_;
    std::vector<ScanResult> scans_;
    std::vector<PlanEntry> plan_;
    std::shared_ptr<const PreloadedImage> image_;

    // The stop lock: a stop, an admission and the failure count change
    // under it.
    mutable std::mutex mutex_;
    StopCause stopCause_;
    std::atomic<bool> stopped_{false};
    size_t failures_ = 0;
    std::vector<uint8_t> begun_;
    std::vector<uint8_t> admitted_;
    std::vector<BoundedNetwork*> live_;
    std::atomic<uint64_t> localCalls_{0};
};

}  // namespace kv::fleet
