#include "fleet/PrinterSlot.h"

#include <algorithm>

namespace kv::fleet {

std::string_view phaseName(Phase phase) {
    switch (phase) {
        case Phase::Waiting: return "waiting";
        case Phase::Identifying: return "identifying";
        case Phase::FlashMode: return "flash-mode";
        case Phase::StartDelay: return "start-delay";
        case Phase::Sending: return "sending";
        case Phase::ResetWait: return "reset-wait";
        case Phase::Reidentifying: return "re-identifying";
        case Phase::Done: return "done";
    }
    return "";
}

std::string_view outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Verified: return "verified";
        case Outcome::Mismatch: return "mismatch";
        case Outcome::NotFound: return "not-found";
        case Outcome::Unchecked: return "unchecked";
        case Outcome::Failed: return "failed";
        case Outcome::SameVersion: return "same-version";
        case Outcome::Incompatible: return "incompatible";
        case Outcome::NotKv: return "not-kv";
        case Outcome::Unreachable: return "unreachable";
        case Outcome::NotReady: return "not-ready";
        case Outcome::Changed: return "changed";
        case Outcome::Untouched: return "untouched";
    }
    return "";
}

Outcome outcomeOf(platform::VerifyOutcome verdict) {
    switch (verdict) {
        case platform::VerifyOutcome::Verified: return Outcome::Verified;
        case platform::VerifyOutcome::Mismatch: return Outcome::Mismatch;
        case platform::VerifyOutcome::NotFound: return Outcome::NotFound;
        case platform::VerifyOutcome::Unchecked: return Outcome::Unchecked;
        case platform::VerifyOutcome::Failed: return Outcome::Failed;
    }
    return Outcome::Failed;
}

bool isFailure(Outcome outcome) {
    return outcome == Outcome::Failed || outcome == Outcome::Mismatch ||
           outcome == Outcome::NotFound;
}

bool isSkip(Outcome outcome) {
    switch (outcome) {
        case Outcome::SameVersion:
        case Outcome::Incompatible:
        case Outcome::NotKv:
        case Outcome::Unreachable:
        case Outcome::NotReady:
        case Outcome::Changed: return true;
        default: return false;
    }
}

bool PrinterSnapshot::mayBeLeftInFlashMode() const {
    // Flash mode entered and the printer never came back with a verdict of
    // a working printer.
    return flashModeEntered &&
           (!outcome || *outcome == Outcome::Failed || *outcome == Outcome::NotFound);
}

std::string boundedText(std::string_view text) {
    return std::string(text.substr(0, PrinterSlot::kMaxTextBytes));
}

PrinterSlot::PrinterSlot(Endpoint endpoint) { snapshot_.endpoint = endpoint; }

void PrinterSlot::update(const std::function<void(PrinterSnapshot&)>& change) {
    std::lock_guard lock(mutex_);
    const Phase phase = snapshot_.phase;
    const std::optional<Outcome> outcome = snapshot_.outcome;
    change(snapshot_);
    if (snapshot_.boxes.size() > kMaxBoxes) {
        snapshot_.boxes.erase(snapshot_.boxes.begin(),
                              snapshot_.boxes.end() - static_cast<std::ptrdiff_t>(kMaxBoxes));
    }
    ++version_;
    if (snapshot_.phase == phase && snapshot_.outcome == outcome) return;
    if (events_.size() < kMaxPhaseEvents) {
        events_.push_back({snapshot_.phase, snapshot_.outcome, snapshot_.detail});
    }
}

PrinterSnapshot PrinterSlot::snapshot() const {
    std::lock_guard lock(mutex_);
    return snapshot_;
}

std::vector<PhaseEvent> PrinterSlot::eventsSince(size_t& seen) const {
    std::lock_guard lock(mutex_);
    std::vector<PhaseEvent> out;
    for (size_t i = std::min(seen, events_.size()); i < events_.size(); ++i)
        out.push_back(events_[i]);
    seen = events_.size();
    return out;
}

uint64_t PrinterSlot::version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

}  // namespace kv::fleet
