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
    : ctx_(ctx), host_(host), clockFor_(std::move(clockFor)), session_(newSession()) {}

FleetDialog::~FleetDialog() {
    // Nothing enters flash mode behind a closed window, and a scan's
    // remaining addresses are not waited for.
    if (worker_.joinable()) {
        session_->requestStop(fleet::StopCause::of(fleet::StopRule::WindowClosed));
        worker_.join();
    }
}

std::unique_ptr<FleetSession> FleetDialog::newSession() {
    fleet::SharedServices shared = fleet::sharedServicesOf(ctx_.sys);
    if (clockFor_) shared.clockFor = clockFor_;
    auto session = std::make_unique<FleetSession>(ctx_, shared, fleet::FleetSettings{},
                                                  FleetSession::Lock::HeldByWindow,
                                                  static_cast<FleetObserver&>(*this));
    // The image chosen before stays chosen, as it was read then.
    session->adoptImage(image_);
    return session;
}

void FleetDialog::onOpen() {
    if (picture_.port.empty()) picture_.port = std::to_string(fleet::kDefaultPort);
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
    if (const auto refused = session_->useImage(path)) {
        platform::box(ctx_.ui(), kFleetCaption, refused->text);
        return;
    }
    image_ = session_->image();
    picture_.image = image_->facts;
    for (size_t i = 0; i < found_.size(); ++i)
        picture_.rows[i] = scannedRow(found_[i], image_.get(), session_->settings());
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
    found_.clear();
    foundIndex_.clear();
    misses_.clear();
    runSlot_.clear();
    picture_.rows.clear();
    picture_.unreachable.clear();
    picture_.summary.clear();
    session_ = newSession();
    picture_.scanning = true;
    startWork([this, targets = std::get<std::vector<fleet::Endpoint>>(std::move(parsed))] {
        session_->scan(targets);
    });
    redraw();
}

void FleetDialog::scanned(size_t index, const fleet::ScanResult& result) {
    std::lock_guard lock(mutex_);
    answers_.emplace_back(index, result);
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
    std::vector<size_t> chosen;
    std::vector<std::optional<size_t>> slots(picture_.rows.size());
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        if (!picture_.rows[i].checked) continue;
        slots[i] = chosen.size();
        chosen.push_back(foundIndex_[i]);
    }
    if (chosen.empty()) return;
    if (ctx_.state.flashInProgress) {
        platform::box(ctx_.ui(), kFleetCaption, kFleetOneFlashText);
        return;
    }
    // What an earlier run may have left in flash mode comes before the
    // question, as it does at the main window's start.
    const auto notice = session_->earlierRunNotice();
    const std::string question = flashQuestion(picture_.rows, image_->facts);
    if (!platform::askYesNo(ctx_.ui(), kFleetCaption,
                            notice ? *notice + "\r\n\n" + question : question)) {
        return;
    }
    const fleet::Fleet& planned = session_->plan(chosen);
    if (const auto refused = session_->beginRun()) {
        platform::box(ctx_.ui(), kFleetCaption, *refused);
        return;
    }
    runSlot_ = std::move(slots);
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        if (runSlot_[i]) showRun(picture_.rows[i], planned.slot(*runSlot_[i]).snapshot());
    }
    runStartMs_ = ctx_.clock().tickMs();
    picture_.flashing = true;
    startWork([this] { (void)session_->run(); });
    redraw();
}

void FleetDialog::onStop() {
    if (!picture_.scanning && !picture_.flashing) return;
    session_->requestStop(fleet::StopCause::of(fleet::StopRule::StopButton));
    picture_.stopping = true;
    redraw();
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
    picture_.stopping = false;
    host_.stopTimer();
}

void FleetDialog::pollScan() {
    std::vector<std::pair<size_t, fleet::ScanResult>> answers;
    {
        std::lock_guard lock(mutex_);
        answers.swap(answers_);
    }
    for (auto& [index, r] : answers) {
        if (r.reach != fleet::Reach::Found) {
            misses_.push_back(std::move(r));
            continue;
        }
        const auto at = std::upper_bound(
            found_.begin(), found_.end(), r,
            [](const auto& a, const auto& b) { return byAddress(a.endpoint, b.endpoint); });
        const auto place = at - found_.begin();
        picture_.rows.insert(picture_.rows.begin() + place,
                             scannedRow(r, image_.get(), session_->settings()));
        foundIndex_.insert(foundIndex_.begin() + place, index);
        found_.insert(at, std::move(r));
    }
    if (!answers.empty() && !misses_.empty()) picture_.unreachable = unreachableLine(misses_);
}

void FleetDialog::pollRun() {
    const fleet::Fleet* run = session_->runFleet();
    if (!run || runSlot_.empty()) return;
    std::vector<fleet::PrinterSnapshot> printers;
    for (size_t i = 0; i < run->size(); ++i) printers.push_back(run->slot(i).snapshot());
    for (size_t i = 0; i < picture_.rows.size(); ++i) {
        if (runSlot_[i]) showRun(picture_.rows[i], printers[*runSlot_[i]]);
    }
    picture_.summary = fleetSummaryLine(printers, ctx_.clock().tickMs() - runStartMs_,
                                        session_->settings().parallel);
    if (const auto cause = run->stopCause(); cause.rule != fleet::StopRule::None) {
        picture_.summary += "; " + fleet::stopLine(cause);
    }
}

bool FleetDialog::anyInFlashMode() const {
    return picture_.flashing && !session_->inFlashMode().empty();
}

bool FleetDialog::onClose() {
    if (anyInFlashMode()) {
        platform::box(ctx_.ui(), kCannotExitText);
        return false;
    }
    if (picture_.scanning || picture_.flashing) {
        session_->requestStop(fleet::StopCause::of(fleet::StopRule::WindowClosed));
    }
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
