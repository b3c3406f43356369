#include "app/FleetSession.h"

#include "app/HistoryTable.h"
#include "app/Startup.h"
#include "flash/FlashAttempt.h"
#include "fleet/FleetImage.h"
#include "platform/HistoryFile.h"
#include "platform/InstanceLock.h"
#include "platform/Trace.h"

namespace kv {

std::string cannotReadImageText(const std::string& path, const std::string& why) {
    return "Cannot read the image " + platform::escapeDeviceText(path) + ": " + why;
}

FleetSession::FleetSession(Context& ctx, fleet::SharedServices shared,
                           fleet::FleetSettings settings, Lock lock, FleetObserver& observer)
    : ctx_(ctx),
      settings_(std::move(settings)),
      lock_(lock),
      observer_(observer),
      inhibitor_(ctx.sys.sleepInhibitor()),
      shared_(std::move(shared)) {
    shared_.sleepInhibitor = &inhibitor_;
}

FleetSession::~FleetSession() { release(); }

std::optional<ImageRefusal> FleetSession::useImage(const std::string& path) {
    fleet::FleetImage loaded =
        fleet::loadFleetImage(*shared_.fileReader, ctx_.sys.trustedKeys(), path);
    if (loaded.refused) {
        return ImageRefusal{ImageRefusal::Kind::Signature,
                            "This image is not flashed: " + loaded.error};
    }
    if (!loaded.image) {
        return ImageRefusal{ImageRefusal::Kind::Unreadable,
                            cannotReadImageText(path, loaded.error)};
    }
    if (loaded.image->facts.version.empty() && !settings_.uncheckedOk) {
        return ImageRefusal{ImageRefusal::Kind::NoMarker, kFleetNoMarkerText};
    }
    image_ = std::move(loaded.image);
    imageHeaded_ = loaded.headed;
    return std::nullopt;
}

std::optional<std::string> FleetSession::earlierRunNotice() const {
    const auto text = shared_.history->read();
    if (!text) return std::nullopt;
    return interruptedFlashNotice(parseHistory(*text));
}

void FleetSession::scan(std::vector<fleet::Endpoint> targets) {
    targets_ = std::move(targets);
    fleet::Fleet* scanning = nullptr;
    {
        std::lock_guard lock(mutex_);
        runFleet_.reset();
        scanFleet_ = std::make_unique<fleet::Fleet>(shared_, targets_, settings_);
        if (stop_) scanFleet_->requestStop(*stop_);
        scanning = scanFleet_.get();
    }
    scanning->scan([this](size_t i, const fleet::ScanResult& r) { observer_.scanned(i, r); });
}

const std::vector<fleet::ScanResult>& FleetSession::scans() const { return scanFleet_->scans(); }

fleet::Fleet& FleetSession::plan(const std::vector<size_t>& chosen) {
    std::vector<fleet::Endpoint> endpoints;
    std::vector<fleet::ScanResult> scans;
    for (size_t i : chosen) {
        endpoints.push_back(targets_.at(i));
        scans.push_back(scanFleet_->scans().at(i));
    }
    fleet::SharedServices shared = shared_;
    if (shared_.clockFor) {
        // Each printer keeps its clock by its place among the targets.
        shared.clockFor = [clockFor = shared_.clockFor, chosen](size_t k) -> platform::Clock& {
            return clockFor(chosen.at(k));
        };
    }
    auto fleet = std::make_unique<fleet::Fleet>(shared, std::move(endpoints), settings_);
    fleet->adoptScans(std::move(scans));
    fleet->plan(image_);
    std::lock_guard lock(mutex_);
    runFleet_ = std::move(fleet);
    if (stop_) runFleet_->requestStop(*stop_);
    return *runFleet_;
}

fleet::Fleet& FleetSession::planAll() {
    std::vector<size_t> all(targets_.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    return plan(all);
}

std::optional<std::string> FleetSession::beginRun() {
    if (lock_ == Lock::TakeForRun) {
        const platform::Result<platform::LockState> taken = ctx_.sys.instanceLock().create();
        if (!taken || *taken == platform::LockState::Held) {
            // Not ours: the handle a held lock leaves open goes too.
            ctx_.sys.instanceLock().release();
            return taken ? kAnotherInstanceText : noInstanceLockText(taken.reason());
        }
        lockTaken_ = true;
    }
    // Claimed at once: the main window may have started its flash while the
    // question was open.
    bool idle = false;
    if (!ctx_.state.flashInProgress.compare_exchange_strong(idle, true)) {
        release();
        return kFleetOneFlashText;
    }
    flagClaimed_ = true;
    // The machine stays awake from here until the last printer has ended,
    // between printers too.
    const auto held = inhibitor_.acquire(kInhibitorWho, kInhibitorWhy);
    awake_ = true;
    if (!held) {
        platform::tracef(ctx_.trace(), "Sleep inhibitor - none held: %s",
                         platform::escapeDeviceText(held.reason()).c_str());
    }
    runStartMs_ = ctx_.clock().tickMs();
    return std::nullopt;
}

fleet::FleetSummary FleetSession::run() {
    fleet::Fleet& fleet = *runFleet_;
    observer_.running(fleet);
    fleet.run(newRecordId());
    release();
    const fleet::FleetSummary summary = fleet::summarize(fleet);
    observer_.ended(fleet, summary,
                    static_cast<double>(ctx_.clock().tickMs() - runStartMs_) / 1000.0);
    return summary;
}

void FleetSession::release() {
    if (awake_) inhibitor_.release();
    awake_ = false;
    if (lockTaken_) ctx_.sys.instanceLock().release();
    lockTaken_ = false;
    // The machine's flag goes last: the main window may flash again.
    if (flagClaimed_) ctx_.state.workerSignal.notifyEnded(ctx_.state.flashInProgress);
    flagClaimed_ = false;
}

size_t FleetSession::requestStop(const fleet::StopCause& cause) {
    size_t inFlash = 0;
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = !stop_;
        if (first) stop_ = cause;
        if (scanFleet_) scanFleet_->requestStop(*stop_);
        if (runFleet_) inFlash = runFleet_->requestStop(*stop_);
    }
    if (first) observer_.stopping(cause, inFlash);
    return inFlash;
}

bool FleetSession::stopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_.has_value();
}

std::optional<fleet::StopCause> FleetSession::stopCause() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

const fleet::Fleet* FleetSession::scanFleet() const {
    std::lock_guard lock(mutex_);
    return scanFleet_.get();
}

std::vector<fleet::Endpoint> FleetSession::inFlashMode() const {
    std::lock_guard lock(mutex_);
    return runFleet_ ? runFleet_->inFlashMode() : std::vector<fleet::Endpoint>{};
}

const fleet::Fleet* FleetSession::runFleet() const {
    std::lock_guard lock(mutex_);
    return runFleet_.get();
}

}  // namespace kv
