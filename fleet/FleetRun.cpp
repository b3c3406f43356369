#include "fleet/FleetRun.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "flash/LocalFlash.h"

namespace kv::fleet {

StopCause StopCause::signal(int number, std::string_view source) {
    return {StopRule::Signal, number, std::string(source)};
}

bool StopCause::byUser() const {
    return rule == StopRule::Signal || rule == StopRule::StopButton ||
           rule == StopRule::WindowClosed;
}

std::string stopLine(const StopCause& cause) {
    switch (cause.rule) {
        case StopRule::None: return "";
        case StopRule::Canary:
            return "Stopped: the canary printers were not all verified (--canary)";
        case StopRule::MaxFailures: return "Stopped: too many printers failed (--max-failures)";
        case StopRule::Signal:
            return "Stopped by " + (cause.source.empty()
                                        ? "signal " + std::to_string(cause.signalNumber)
                                        : cause.source);
        case StopRule::StopButton: return "Stopped by the Stop button";
        case StopRule::WindowClosed: return "Stopped by closing the window";
    }
    return "";
}

std::string notStartedDetail(const StopCause& cause) { return "not started: " + stopLine(cause); }

void runBounded(size_t count, size_t parallel, const std::function<void(size_t)>& task) {
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < count; i = next++) task(i);
    };
    std::vector<std::thread> threads;
    const size_t wanted = std::min(std::max<size_t>(parallel, 1), count);
    for (size_t n = 0; n < wanted; ++n) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer at once: the ones running take the rest
        }
    }
    if (threads.empty()) work();
    for (std::thread& t : threads) t.join();
}

Fleet::Fleet(SharedServices shared, std::vector<Endpoint> targets, FleetSettings settings)
    : shared_(std::move(shared)), targets_(std::move(targets)), settings_(std::move(settings)) {
    for (const Endpoint& e : targets_) slots_.push_back(std::make_unique<PrinterSlot>(e));
    admitted_.assign(targets_.size(), 0);
    begun_.assign(targets_.size(), 0);
    live_.assign(targets_.size(), nullptr);
    scans_.resize(targets_.size());
    for (size_t i = 0; i < targets_.size(); ++i) scans_[i].endpoint = targets_[i];
}

void Fleet::track(size_t index, BoundedNetwork* network) {
    std::lock_guard lock(mutex_);
    live_[index] = network;
    // Stopped before it began: it ends at its first step.
    if (network && stopped_ && stopCause_.byUser()) network->cut();
}

void Fleet::scan(const ScanAnswer& answered) {
    runBounded(targets_.size(), settings_.parallel, [&](size_t i) {
        if (stopped()) return;
        // A slot of its own: the scan is no phase of the run's rows. A scan
        // world never enters flash mode.
        PrinterSlot scratch(targets_[i]);
        PrinterWorld world(
            shared_, i, scratch, kScanBounds, false, [] { return false; },
            [this] { return stopped(); });
        track(i, &world.network);
        ScanResult result = scanPrinter(world, settings_.makers);
        track(i, nullptr);
        localCalls_ += world.localCalls();
        // A cut identification says nothing about the address.
        if (world.network.isCut()) return;
        scans_[i] = std::move(result);
        if (answered) answered(i, scans_[i]);
    });
}

void Fleet::adoptScans(std::vector<ScanResult> scans) {
    for (size_t i = 0; i < scans.size() && i < scans_.size(); ++i) scans_[i] = std::move(scans[i]);
}

void Fleet::plan(std::shared_ptr<const PreloadedImage> image) {
    image_ = std::move(image);
    plan_.clear();
    for (size_t i = 0; i < scans_.size(); ++i) {
        const ScanResult& scan = scans_[i];
        PlanEntry entry = planPrinter(scan, *image_, settings_);
        slots_[i]->update([&](PrinterSnapshot& s) {
            s.model = boundedText(scan.model);
            s.firmwareBefore = boundedText(scan.reportedVersion.value_or(""));
            if (const auto skipped = skipOutcome(entry.decision)) {
                s.detail = boundedText(entry.reason);
                s.phase = Phase::Done;
                s.outcome = *skipped;
            }
        });
        plan_.push_back(std::move(entry));
    }
}

size_t Fleet::plannedFlashes() const {
    return static_cast<size_t>(std::count_if(plan_.begin(), plan_.end(), [](const PlanEntry& e) {
        return e.decision == Decision::Flash;
    }));
}

void Fleet::run(const std::string& fleetId) {
    std::vector<size_t> order;
    for (size_t i = 0; i < plan_.size(); ++i) {
        if (plan_[i].decision == Decision::Flash) order.push_back(i);
    }
    const size_t canary = std::min(settings_.canary, order.size());
    runBounded(canary, settings_.parallel, [&](size_t k) { flashOne(order[k], fleetId); });
    for (size_t k = 0; k < canary; ++k) {
        const auto outcome = slots_[order[k]]->snapshot().outcome;
        const bool accepted = outcome == Outcome::Verified ||
                              (settings_.uncheckedOk && outcome == Outcome::Unchecked);
        if (!accepted) stopBy(StopCause::of(StopRule::Canary));
    }
    runBounded(order.size() - canary, settings_.parallel,
               [&](size_t k) { flashOne(order[canary + k], fleetId); });
}

void Fleet::stopBy(const StopCause& cause) {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopCause_ = cause;
    stopped_ = true;
}

size_t Fleet::requestStop(const StopCause& cause) {
    std::lock_guard lock(mutex_);
    if (!stopped_) {
        stopCause_ = cause;
        stopped_ = true;
    }
    // Whatever stopped the run before, a person's stop cuts what is under
    // way now, and those still waiting for their turn show at once that
    // they will not start.
    for (BoundedNetwork* network : live_) {
        if (network) network->cut();
    }
    for (size_t i = 0; i < plan_.size(); ++i) {
        if (plan_[i].decision != Decision::Flash || begun_[i]) continue;
        begun_[i] = 1;
        endSkipped(i, Outcome::Untouched, notStartedDetail(stopCause_));
    }
    size_t inFlash = 0;
    for (const auto& slot : slots_) {
        const PrinterSnapshot p = slot->snapshot();
        if (p.flashModeEntered && p.phase != Phase::Done) ++inFlash;
    }
    return inFlash;
}

StopCause Fleet::stopCause() const {
    std::lock_guard lock(mutex_);
    return stopCause_;
}

std::vector<Endpoint> Fleet::inFlashMode() const {
    std::vector<Endpoint> out;
    for (const auto& slot : slots_) {
        const PrinterSnapshot p = slot->snapshot();
        if (p.flashModeEntered && p.phase != Phase::Done) out.push_back(p.endpoint);
    }
    return out;
}

std::vector<size_t> Fleet::untouched() const {
    std::vector<size_t> out;
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i]->snapshot().outcome == Outcome::Untouched) out.push_back(i);
    }
    return out;
}

bool Fleet::mayStartLocked() {
    if (!stopped_ && settings_.maxFailures > 0 && failures_ >= settings_.maxFailures) {
        stopCause_ = StopCause::of(StopRule::MaxFailures);
        stopped_ = true;
    }
    return !stopped_;
}

bool Fleet::begin(size_t index, BoundedNetwork* network) {
    std::lock_guard lock(mutex_);
    // A stop may have ended it while it waited for its turn.
    if (begun_[index] || !mayStartLocked()) return false;
    begun_[index] = 1;
    live_[index] = network;
    return true;
}

bool Fleet::admit(size_t index) {
    std::lock_guard lock(mutex_);
    if (!mayStartLocked()) return false;
    admitted_[index] = 1;
    // In flash mode from here: no stop cuts it.
    live_[index] = nullptr;
    return true;
}

bool Fleet::isAdmitted(size_t index) const {
    std::lock_guard lock(mutex_);
    return admitted_[index] != 0;
}

void Fleet::leaveUntouched(size_t index) {
    endSkipped(index, Outcome::Untouched, notStartedDetail(stopCause()));
}

void Fleet::endSkipped(size_t index, Outcome outcome, const std::string& detail) {
    slots_[index]->update([&](PrinterSnapshot& s) {
        s.phase = Phase::Done;
        s.outcome = outcome;
        s.detail = boundedText(detail);
    });
}

void Fleet::flashOne(size_t index, const std::string& fleetId) {
    PrinterSlot& slot = *slots_[index];
    PrinterWorld world(
        shared_, index, slot, shared_.network->bounds(), settings_.flashSameVersion,
        [this, index] { return admit(index); }, [this] { return stopped(); });
    if (!begin(index, &world.network)) {
        leaveUntouched(index);
        return;
    }
    world.state.preloadedImage = image_;
    world.state.firmwareFileName = image_->path;
    world.state.fleetId = fleetId;
    if (!shared_.logFolder.empty()) world.keepLog(shared_.logFolder);
    slot.update([&](PrinterSnapshot& s) { s.startedMs = world.clock.tickMs(); });
    flashIdentified(world, index);
    track(index, nullptr);

    if (!isAdmitted(index) && slot.snapshot().phase != Phase::Done) {
        // Stopped before flash mode: whatever the cut made of the steps
        // before, the printer heard nothing of a flash.
        leaveUntouched(index);
    }
    if (PrinterLog* log = world.log()) {
        // The transcript: every phase and box, then the verdict.
        size_t seen = 0;
        for (const PhaseEvent& e : slot.eventsSince(seen)) {
            const std::string_view name = e.outcome ? outcomeName(*e.outcome) : phaseName(e.phase);
            log->write("phase " + std::string(name) + ": " + e.detail);
        }
        for (const std::string& box : slot.snapshot().boxes) log->write("box: " + box);
    }
    if (isFailure(slot.snapshot().outcome.value_or(Outcome::Untouched))) {
        std::lock_guard lock(mutex_);
        ++failures_;
    }
    localCalls_ += world.localCalls();
}

void Fleet::flashIdentified(PrinterWorld& world, size_t index) {
    PrinterSlot& slot = *slots_[index];
    // Planned again on what the printer says now: it must still be the
    // printer the plan meant.
    const ScanResult now = identityOf(world, world.find(), settings_.makers);
    if (stopped()) return;
    if (const auto change = changeSinceScan(scans_[index], now)) {
        endSkipped(index, Outcome::Changed, *change);
        return;
    }
    if (flashFoundEthernetPrinter(world.ctx, world.controls, world.state.printerData)) {
        world.waitForWorker();
    }
    const auto verdict = world.controls.verdict();
    // Stopped before flash mode, the failure is the cut's, not the printer's.
    if (!verdict || (!isAdmitted(index) && stopped())) return;
    const FlashRecord& record = world.state.flashAttempt.record;
    const uint64_t endedMs = world.clock.tickMs();
    slot.update([&](PrinterSnapshot& s) {
        s.outcome = outcomeOf(verdict->outcome);
        s.detail = boundedText(verdict->detail);
        if (!record.firmwareBefore.empty()) s.firmwareBefore = boundedText(record.firmwareBefore);
        s.firmwareAfter = boundedText(record.firmwareAfter);
        s.bytesSent = record.bytesSent;
        s.endedMs = endedMs;
        s.phase = Phase::Done;
    });
}

}  // namespace kv::fleet
