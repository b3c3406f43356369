#include "fleet/FleetRun.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "flash/LocalFlash.h"
#include "fleet/ConnectSweep.h"

namespace kv::fleet {

std::string_view stopRuleText(StopRule rule) {
    switch (rule) {
        case StopRule::None: return "";
        case StopRule::Canary: return "the canary printers were not all verified (--canary)";
        case StopRule::MaxFailures: return "too many printers failed (--max-failures)";
        case StopRule::Signal: return "a stop was requested (signal)";
        case StopRule::Stop: return "Stop was pressed";
    }
    return "";
}

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

Fleet::Fleet(SharedServices shared, std::vector<Endpoint> targets, size_t parallel)
    : shared_(std::move(shared)), targets_(std::move(targets)), parallel_(parallel) {
    for (const Endpoint& e : targets_) slots_.push_back(std::make_unique<PrinterSlot>(e));
    started_.assign(targets_.size(), 0);
}

void Fleet::scan(const ScanAnswer& answered) {
    scans_.assign(targets_.size(), ScanResult{});
    for (size_t i = 0; i < targets_.size(); ++i) scans_[i].endpoint = targets_[i];
    // A stop request ends the scan as it ends the run: nothing new starts.
    const auto stopped = [this] { return stoppedBy() != StopRule::None; };
    // Refusing and silent addresses are settled by the sweep alone.
    const std::vector<platform::ConnectAnswer> swept = sweepTargets(
        *shared_.network, targets_, kScanBounds.connectMs, stopped, [&](size_t i, Reach reach) {
            scans_[i].reach = reach;
            if (answered) answered(i, scans_[i]);
        });
    std::vector<size_t> identify;
    for (size_t i = 0; i < swept.size(); ++i) {
        if (!sweptReach(swept[i])) identify.push_back(i);
    }
    runBounded(identify.size(), parallel_, [&](size_t k) {
        const size_t i = identify[k];
        if (stopped()) return;
        // A slot of its own: the scan is no phase of the run's rows.
        PrinterSlot scratch(targets_[i]);
        PrinterWorld world(shared_, i, scratch, kScanBounds, false);
        scans_[i] = scanPrinter(world);
        // It took the sweep's connection a moment ago: no refusal.
        if (swept[i] == platform::ConnectAnswer::Accepted && scans_[i].reach == Reach::Refused) {
            scans_[i].reach = Reach::NoReply;
        }
        localCalls_ += world.localCalls();
        if (answered) answered(i, scans_[i]);
    });
}

void Fleet::plan(std::shared_ptr<const PreloadedImage> image, const FleetSettings& settings) {
    image_ = std::move(image);
    settings_ = settings;
    plan_.clear();
    for (size_t i = 0; i < scans_.size(); ++i) {
        const ScanResult& scan = scans_[i];
        PlanEntry entry = planPrinter(scan, *image_, settings.flashSameVersion);
        slots_[i]->update([&](PrinterSnapshot& s) {
            s.model = boundedText(scan.model);
            s.firmwareBefore = boundedText(scan.reportedVersion.value_or(""));
            if (entry.decision == Decision::Flash) return;
            s.detail = boundedText(entry.reason);
            s.phase = Phase::Done;
            switch (entry.decision) {
                case Decision::SameVersion: s.outcome = Outcome::SameVersion; break;
                case Decision::Incompatible: s.outcome = Outcome::Incompatible; break;
                case Decision::NotKv: s.outcome = Outcome::NotKv; break;
                default: s.outcome = Outcome::Unreachable; break;
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
    runBounded(canary, parallel_, [&](size_t k) { flashOne(order[k], fleetId); });
    for (size_t k = 0; k < canary; ++k) {
        const auto outcome = slots_[order[k]]->snapshot().outcome;
        const bool accepted = outcome == Outcome::Verified ||
                              (settings_.uncheckedOk && outcome == Outcome::Unchecked);
        if (!accepted) stopBy(StopRule::Canary);
    }
    runBounded(order.size() - canary, parallel_,
               [&](size_t k) { flashOne(order[canary + k], fleetId); });
}

void Fleet::stopBy(StopRule rule) {
    std::lock_guard lock(mutex_);
    if (stopRule_ == StopRule::None) stopRule_ = rule;
}

void Fleet::requestStop(int signalNumber) {
    int none = 0;
    stopSignal_.compare_exchange_strong(none, signalNumber);
    stopBy(signalNumber != 0 ? StopRule::Signal : StopRule::Stop);
}

StopRule Fleet::stoppedBy() const {
    std::lock_guard lock(mutex_);
    return stopRule_;
}

std::vector<size_t> Fleet::untouched() const {
    std::vector<size_t> out;
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < plan_.size(); ++i) {
        if (plan_[i].decision == Decision::Flash && !started_[i]) out.push_back(i);
    }
    return out;
}

void Fleet::leaveUntouched(size_t index) {
    const std::string why = "not started: " + std::string(stopRuleText(stoppedBy()));
    slots_[index]->update([&](PrinterSnapshot& s) {
        s.phase = Phase::Done;
        s.outcome = Outcome::Untouched;
        s.detail = why;
    });
}

void Fleet::flashOne(size_t index, const std::string& fleetId) {
    bool start = false;
    {
        // Decided and marked at once, so a stop cannot fall between.
        std::lock_guard lock(mutex_);
        const bool stopped = stopRule_ != StopRule::None;
        const bool tooMany = settings_.maxFailures > 0 && failures_.load() >= settings_.maxFailures;
        if (tooMany && !stopped) stopRule_ = StopRule::MaxFailures;
        start = !stopped && !tooMany;
        started_[index] = start;
    }
    if (!start) {
        leaveUntouched(index);
        return;
    }
    PrinterSlot& slot = *slots_[index];
    PrinterWorld world(shared_, index, slot, shared_.network->bounds(), settings_.flashSameVersion);
    world.state.preloadedImage = image_;
    world.state.firmwareFileName = image_->path;
    world.state.fleetId = fleetId;
    if (!shared_.logFolder.empty()) world.keepLog(shared_.logFolder);
    const uint64_t startedMs = world.clock.tickMs();
    slot.update([&](PrinterSnapshot& s) { s.startedMs = startedMs; });

    std::optional<Outcome> outcome;
    if (world.find()) {
        if (flashFoundEthernetPrinter(world.ctx, world.controls, world.state.printerData)) {
            world.waitForWorker();
        }
        if (const auto verdict = world.controls.verdict()) outcome = outcomeOf(verdict->outcome);
    } else {
        // Found but not ready, or not found: nothing was sent.
        outcome = world.state.lastProbe.identified ? Outcome::Failed : Outcome::NotFound;
    }
    const FlashRecord& record = world.state.flashAttempt.record;
    const auto verdict = world.controls.verdict();
    const uint64_t endedMs = world.clock.tickMs();
    slot.update([&](PrinterSnapshot& s) {
        s.outcome = outcome.value_or(Outcome::Failed);
        if (verdict) s.detail = boundedText(verdict->detail);
        if (!record.firmwareBefore.empty()) s.firmwareBefore = boundedText(record.firmwareBefore);
        s.firmwareAfter = boundedText(record.firmwareAfter);
        s.bytesSent = record.bytesSent;
        s.endedMs = endedMs;
        s.phase = Phase::Done;
    });
    if (PrinterLog* log = world.log()) {
        // The transcript: every phase and box, then the verdict.
        size_t seen = 0;
        for (const PhaseEvent& e : slot.eventsSince(seen)) {
            const std::string_view name = e.outcome ? outcomeName(*e.outcome) : phaseName(e.phase);
            log->write("phase " + std::string(name) + ": " + e.detail);
        }
        for (const std::string& box : slot.snapshot().boxes) log->write("box: " + box);
    }
    if (isFailure(outcome.value_or(Outcome::Failed))) ++failures_;
    localCalls_ += world.localCalls();
}

}  // namespace kv::fleet
