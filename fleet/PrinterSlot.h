#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/Targets.h"
#include "platform/DialogControls.h"

namespace kv::fleet {

// Where one printer stands in a fleet run.
enum class Phase {
    Waiting,      // not started (yet)
    Identifying,  // Find Ethernet Printer
    FlashMode,    // "Printer responding": from here a cut leaves it in flash mode
    StartDelay,
    Sending,
    ResetWait,
    Reidentifying,  // found again after the reset
    Done,
};
std::string_view phaseName(Phase phase);

// How one printer's part of the run ended: the flash's verdict, or why it
// was not flashed.
enum class Outcome {
    Verified,
    Mismatch,
    NotFound,
    Unchecked,
    Failed,
    SameVersion,   // skipped: it already runs the image's version
    Incompatible,  // the image does not suit its board or model
    NotKv,         // something answered, but no KV printer
    Unreachable,   // refused, silent or no reply
    NotReady,      // skipped: a KV printer, but not ready to be flashed
    Changed,       // skipped: the run's identification differs from the scan's
    Untouched,     // a rule (or a stop) kept it from flash mode
};
std::string_view outcomeName(Outcome outcome);
Outcome outcomeOf(platform::VerifyOutcome verdict);
// Failed, mismatched or not back: what --max-failures counts and exit 1 means.
bool isFailure(Outcome outcome);
// Not flashed because of what the printer is or says (not a rule's stop).
bool isSkip(Outcome outcome);

// What a front end draws of one printer: a copy, taken at once.
struct PrinterSnapshot {
    Endpoint endpoint;
    std::string model;
    std::string firmwareBefore;
    std::string firmwareAfter;
    Phase phase = Phase::Waiting;
    platform::TransferProgress progress;
    // The latest status line, box or verdict detail.
    std::string detail;
    std::optional<Outcome> outcome;
    uint64_t bytesSent = 0;
    // On the printer's own clock.
    uint64_t startedMs = 0;
    uint64_t endedMs = 0;
    // The printer entered flash mode; with a failed transfer it may still be
    // there.
    bool flashModeEntered = false;
    // The boxes its flash showed, the latest kept (bounded).
    std::vector<std::string> boxes;

    bool mayBeLeftInFlashMode() const;
    double seconds() const { return endedMs > startedMs ? (endedMs - startedMs) / 1000.0 : 0.0; }
};

// One phase change, as the line renderer prints it.
struct PhaseEvent {
    Phase phase = Phase::Waiting;
    std::optional<Outcome> outcome;
    std::string detail;
};

// A printer's latest state. Its world posts here and never waits for
// output; renderers copy it out. What it keeps is bounded: one snapshot,
// and at most kMaxPhaseEvents phase changes.
class PrinterSlot {
public:
    static constexpr size_t kMaxPhaseEvents = 32;
    static constexpr size_t kMaxBoxes = 8;
    static constexpr size_t kMaxTextBytes = 512;

    explicit PrinterSlot(Endpoint endpoint);

    // Runs `change` on the snapshot under the slot's lock; a new phase or
    // outcome is noted as a phase event.
    void update(const std::function<void(PrinterSnapshot&)>& change);
    PrinterSnapshot snapshot() const;
    // The phase events from `seen` on; `seen` moves past them.
    std::vector<PhaseEvent> eventsSince(size_t& seen) const;
    // Bumped by every update: a renderer redraws when it moved.
    uint64_t version() const;

private:
    mutable std::mutex mutex_;
    PrinterSnapshot snapshot_;
    std::vector<PhaseEvent> events_;
    uint64_t version_ = 0;
};

// A text from a device or a file, cut to what a slot keeps.
std::string boundedText(std::string_view text);

}  // namespace kv::fleet
