#include "app/FleetDialog.h"

#include <algorithm>
#include <variant>

#include "app/HistoryTable.h"
#include "app/MainDialog.h"
#include "flash/FlashAttempt.h"
#include "flash/FlashHistory.h"
#include "fleet/FleetImage.h"
#include "fleet/Targets.h"
#include "platform/DurableFile.h"
#include "platform/HistoryFile.h"
#include "platform/Trace.h"
#include "platform/Ui.h"

namespace kv {

namespace {

constexpr const char* kDefaultPortText = "10001";
constexpr const char* kOneFlashText =
    "A printer is being flashed from the main window: one flash at a time.";
constexpr const char* kNoMarkerText =
    "The image has no \"FWV:\" version marker, so no flash of it can be verified.";

std::vector<std::string> targetTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string token;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') {
            if (!token.empty()) tokens.push_back(std::move(token));
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty()) tokens.push_back(std::move(token));
    return tokens;
}

std::optional<uint16_t> portOf(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

bool byAddress(const fleet::Endpoint& a, const fleet::Endpoint& b) {
    return std::pair(a.address, a.port) < std::pair(b.address, b.port);
}

}  // namespace

FleetDialog::FleetDialog(Context& ctx, FleetWindowHost& host,
                         std::function<platform::Clock&(size_t)> clockFor)
    : ctx_(ctx),
      host_(host),
      clockFor_(std::move(clockFor)),
      inhibitor_(ctx.sys.sleepInhibitor()) {}

FleetDialog::~FleetDialog() {
    if (worker_.joinable()) worker_.join();
}

fleet::SharedServices FleetDialog::shared(const std::vector<size_t>& targetIndexes) {
    fleet::SharedServices s = fleet::sharedServicesOf(ctx_.sys, inhibitor_);
    if (clockFor_) {
        s.clockFor = [this, targetIndexes](size_t k) -> platform::Clock& {
            return clockFor_(targetIndexes.at(k));
        };
    }
    return s;
}

void FleetDialog::onOpen() {
    if (picture_.port.empty()) picture_.port = kDefaultPortText;
    if (picture_.targets.empty()) {
        if (const auto kept = ctx_.sys.fleetTargets().read()) {
            picture_.targets = kept->substr(0, std::min(kept->find('\n'), kFleetTargetsLimit));
        }
    }
    const std::string& chosen = ctx_.state.firmwareFileName;
    if (!image_ && !chosen.empty()) useImage(chosen);
    redraw();
}

void FleetDialog::onTargetsEdited(const std::string& text) {
    picture_.targets = text.substr(0, kFleetTargetsLimit);
}

void FleetDialog::onPortEdited(const std::string& text) { picture_.port = text; }

void FleetDialog::useImage(const std::string& path) {
    fleet::FleetImage loaded =
        fleet::loadFleetImage(ctx_.sys.fileReader(), ctx_.sys.trustedKeys(), path);
    if (!loaded.image) {
        platform::box(ctx_.ui(), kFleetCaption,
                      (loaded.refused ? "This image is not flashed: "
                                      : "Cannot read the image " + path + ": ") +
                          loaded.error);
        return;
    }
    image_ = std::move(loaded.image);
    picture_.image = image_->facts;
    for (size_t i = 0; i < found_.size(); ++i)
        picture_.rows[i] = scannedRow(found_[i], image_.get());
}

void FleetDialog::onScan() {
    if (picture_.scanning || picture_.flashing) return;
    const auto port = portOf(picture_.port);
    if (!port) {
        platform::box(ctx_.ui(), kFleetCaption, "The port must be a number from 1 to 65535.");
        return;
    }
    auto parsed = fleet::parseTargets(targetTokens(picture_.targets), *port, ctx_.sys.fileReader());
    if (const auto* error = std::get_if<fleet::TargetError>(&parsed)) {
        platform::box(ctx_.ui(), kFleetCaption, fleet::describe(*error));
        return;
    }
    if (!ctx_.sys.fleetTargets().replace(picture_.targets + "\n")) {
        platform::tracef(ctx_.trace(), "Network printers - targets not kept in %s",
                         ctx_.sys.fleetTargets().location().c_str());
    }
    targets_ = std::get<std::vector<fleet::Endpoint>>(std::move(parsed));
    found_.clear();
    misses_.clear();
    runFleet_.reset();
    runSlot_.clear();
    picture_.rows.clear();
    picture_.unreachable.clear();
    picture_.summary.clear();
    std::vector<size_t> all(targets_.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    scanFleet_ = std::make_unique<fleet::Fleet>(shared(all), targets_, fleet::kDefaultParallel);
    picture_.scanning = true;
    startWork([this] {
        scanFleet_->scan([this](size_t, const fleet::ScanResult& r) {
            std::lock_guard lock(mutex_);
            answers_.push_back(r);
        });
    });
    redraw();
}

void FleetDialog::onSelectFile() {
    if (picture_.flashing) return;
    platform::OpenFileRequest request;
    request.description = "Bin Files (*.bin)";
    request.patterns = "*.bin";
    request.defaultExtension = "bin";
    const auto chosen = ctx_.ui().openFile(request);
    if (!chosen || chosen->empty()) return;
    useImage(*chosen);
    redraw();
}

void FleetDialog::onToggle(size_t row, bool checked) {
    if (picture_.flashing || row >= picture_.rows.size()) return;
    FleetRow& r = picture_.rows[row];
    r.checked = checked && r.suits;
    redraw();
}

void FleetDialog::onSelectAllCompatible() {
    if (picture_.flashing) return;
    for (FleetRow& r : picture_.rows) r.checked = r.suits;
    redraw();
}

void FleetDialog::onFlashSelected() {
    if (picture_.scanning || picture_.flashing || !image_) return;
    std::vector<fleet::Endpoint> chosen;
    std::vector<size_t> targetIndexes;
    std::vector<std::optional<size_t>> slots(picture_.rows.size());
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        const FleetRow& r = picture_.rows[i];
        if (!r.checked) continue;
        slots[i] = chosen.size();
        chosen.push_back(r.endpoint);
        const auto at = std::find(targets_.begin(), targets_.end(), r.endpoint);
        targetIndexes.push_back(static_cast<size_t>(at - targets_.begin()));
    }
    if (chosen.empty()) return;
    if (image_->facts.version.empty()) {
        platform::box(ctx_.ui(), kFleetCaption, kNoMarkerText);
        return;
    }
    if (ctx_.state.flashInProgress) {
        platform::box(ctx_.ui(), kFleetCaption, kOneFlashText);
        return;
    }
    if (!platform::askYesNo(ctx_.ui(), kFleetCaption,
                            flashQuestion(picture_.rows, image_->facts))) {
        return;
    }
    // Claimed at once: the main window may have started its flash while
    // the question was open.
    bool idle = false;
    if (!ctx_.state.flashInProgress.compare_exchange_strong(idle, true)) {
        platform::box(ctx_.ui(), kFleetCaption, kOneFlashText);
        return;
    }
    runFleet_ =
        std::make_unique<fleet::Fleet>(shared(targetIndexes), chosen, fleet::kDefaultParallel);
    runSlot_ = std::move(slots);
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        if (runSlot_[i]) showRun(picture_.rows[i], runFleet_->slot(*runSlot_[i]).snapshot());
    }
    runStartMs_ = ctx_.clock().tickMs();
    picture_.flashing = true;
    startWork([this, image = image_] {
        runFleet_->scan();
        runFleet_->plan(image, fleet::FleetSettings{});
        runFleet_->run(newRecordId());
        // The machine's flag goes last: the main window may flash again.
        ctx_.state.workerSignal.notifyEnded(ctx_.state.flashInProgress);
    });
    redraw();
}

void FleetDialog::onStop() {
    if (picture_.flashing && runFleet_) runFleet_->requestStop(0);
}

void FleetDialog::startWork(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        working_ = true;
    }
    worker_ = std::thread([this, work = std::move(work)] {
        work();
        {
            std::lock_guard lock(mutex_);
            working_ = false;
        }
        idle_.notify_all();
    });
    host_.startTimer(kFleetPollMs);
}

bool FleetDialog::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return !working_; });
}

void FleetDialog::onTimer() {
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        done = !working_;
    }
    // The answers after the end check: once done, every one is in.
    pollScan();
    pollRun();
    if (done) {
        finishWork();
    } else {
        host_.startTimer(kFleetPollMs);
    }
    redraw();
}

void FleetDialog::finishWork() {
    if (worker_.joinable()) worker_.join();
    if (picture_.scanning) picture_.unreachable = unreachableLine(misses_);
    picture_.scanning = false;
    picture_.flashing = false;
    host_.stopTimer();
}

void FleetDialog::pollScan() {
    std::vector<fleet::ScanResult> answers;
    {
        std::lock_guard lock(mutex_);
        answers.swap(answers_);
    }
    for (fleet::ScanResult& r : answers) {
        if (r.reach != fleet::Reach::Found) {
            misses_.push_back(std::move(r));
            continue;
        }
        const auto at = std::upper_bound(
            found_.begin(), found_.end(), r,
            [](const auto& a, const auto& b) { return byAddress(a.endpoint, b.endpoint); });
        const auto row = picture_.rows.begin() + (at - found_.begin());
        picture_.rows.insert(row, scannedRow(r, image_.get()));
        found_.insert(at, std::move(r));
    }
    if (!answers.empty() && !misses_.empty()) picture_.unreachable = unreachableLine(misses_);
}

void FleetDialog::pollRun() {
    if (!runFleet_) return;
    std::vector<fleet::PrinterSnapshot> printers;
    for (size_t i = 0; i < runFleet_->size(); ++i)
        printers.push_back(runFleet_->slot(i).snapshot());
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        if (runSlot_[i]) showRun(picture_.rows[i], printers[*runSlot_[i]]);
    }
    picture_.summary =
        fleetSummaryLine(printers, ctx_.clock().tickMs() - runStartMs_, fleet::kDefaultParallel);
}

bool FleetDialog::anyInFlashMode() const {
    if (!runFleet_ || !picture_.flashing) return false;
    for (size_t i = 0; i < runFleet_->size(); ++i) {
        const fleet::PrinterSnapshot p = runFleet_->slot(i).snapshot();
        if (p.flashModeEntered && p.phase != fleet::Phase::Done) return true;
    }
    return false;
}

bool FleetDialog::onClose() {
    if (anyInFlashMode()) {
        platform::box(ctx_.ui(), kCannotExitText);
        return false;
    }
    onStop();
    return true;
}

std::string FleetDialog::detailOf(size_t row) const {
    return row < picture_.rows.size() ? picture_.rows[row].detail : std::string();
}

void FleetDialog::onShowHistory(size_t row) {
    if (row >= picture_.rows.size()) return;
    const std::string& address = picture_.rows[row].address;
    platform::HistoryFile& file = ctx_.sys.history();
    const auto text = file.read();
    if (!text) {
        ctx_.ui().showReport(kHistoryCaption, "The flash history cannot be read: " + text.reason());
        return;
    }
    HistoryContent mine;
    for (const HistoryEntry& e : parseHistory(*text).entries) {
        if (e.record.address == address) mine.entries.push_back(e);
    }
    ctx_.ui().showReport(kHistoryCaption,
                         mine.entries.empty()
                             ? "No flash of " + address + " recorded in " + file.location() + ".\n"
                             : "Flashes of " + address + ", newest last:\n\n" + historyTable(mine));
}

void FleetDialog::redraw() { host_.draw(picture_); }

}  // namespace kv
