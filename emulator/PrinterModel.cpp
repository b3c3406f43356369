#include "emulator/PrinterModel.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/Trace.h"
#include "image/FirmwareMarker.h"

namespace kv::emulator {

namespace {

constexpr size_t kMaxFirmwareText = 99;  // two decimal digits of length
constexpr size_t kProgramCommandSize = 9;
constexpr std::string_view kFlashRefusedText = "FLASH MODE REFUSED";

void appendField(std::vector<uint8_t>& out, int number) {
    out.push_back(static_cast<uint8_t>('0' + number / 10));
    out.push_back(static_cast<uint8_t>('0' + number % 10));
}

void appendText(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

void appendField05(std::vector<uint8_t>& out, std::string_view text) {
    text = text.substr(0, kMaxFirmwareText);
    appendField(out, 5);
    appendField(out, static_cast<int>(text.size()));
    appendText(out, text);
}

std::string printable(const std::vector<uint8_t>& bytes) {
    return platform::escapeDeviceText(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Short replies (status bytes) are easier to read in hex as well.
constexpr size_t kHexShownUpTo = 16;

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

// Where the ID's "FWV:" value stands: behind the marker, up to ';' or the
// end; npos without a marker.
std::pair<size_t, size_t> firmwareValueIn(const std::string& id) {
    const size_t key = id.find(kFirmwareVersionMarker);
    if (key == std::string::npos) return {std::string::npos, 0};
    const size_t from = key + kFirmwareVersionMarker.size();
    const size_t end = id.find(';', from);
    return {from, (end == std::string::npos ? id.size() : end) - from};
}

}  // namespace

std::vector<uint8_t> buildStatusReply(char kind, uint8_t byte3, uint8_t byte4,
                                      std::string_view firmwareText) {
    std::vector<uint8_t> out{static_cast<uint8_t>(kind)};
    appendField(out, 0);
    out.push_back(byte3);
    out.push_back(byte4);
    if (kind == 'S') return out;
    appendField(out, 1);
    out.insert(out.end(), {0x00, 0x00, 0x00});
    if (kind == 'N') return out;
    if (kind == 'C') {
        appendField(out, 2);
        appendText(out, "00000000");
        appendField(out, 3);
        appendText(out, "00C");
        appendField(out, 4);
        out.insert(out.end(), {0x00, 0x00});
    }
    appendField05(out, firmwareText);
    return out;
}

std::vector<uint8_t> buildFirmwareReply(std::string_view firmwareText) {
    std::vector<uint8_t> out{'A'};
    appendField05(out, firmwareText);
    return out;
}

PrinterModel::PrinterModel(PrinterConfig config, platform::Clock* clock)
    : config_(std::move(config)), table_(requestTable(config_)), clock_(clock) {
    std::lock_guard lock(mutex_);
    powerUpLocked();
}

std::vector<PrinterModel::RequestRow> PrinterModel::requestTable(const PrinterConfig& config) {
    using namespace std::string_view_literals;
    if (config.link == LinkKind::Tcp) {
        return {
            {Request::DeviceIdTcp, "<SA08>"sv, "\"<SA08>\""sv},
            {Request::StatusTcp, "<SS>"sv, "\"<SS>\""sv},
            {Request::FlashRequest, "\x1B*FR"sv, "ESC *FR"sv},
            {Request::FlashEnterTcp, "<SA15>"sv, "\"<SA15>\""sv},
        };
    }
    if (config.zor1Family) {
        return {
            {Request::HwStatus, "\x10\xAA\x55\x80\x54\xAB"sv, "HW status 10 AA 55 80 54 AB"sv},
            {Request::HwVersion, "\x1D\x49\x41"sv, "GS I A"sv},
            // The prefix; the four length bytes follow.
            {Request::ProgramCommand, "\x1A\x75\xAA\x55\x80"sv, "programming command"sv},
        };
    }
    return {
        {Request::StatusS, "\x1BIS"sv, "ESC I S"sv},
        {Request::StatusN, "\x1BIN"sv, "ESC I N"sv},
        {Request::StatusE, "\x1BIE"sv, "ESC I E"sv},
        {Request::StatusC, "\x1BIC"sv, "ESC I C"sv},
        {Request::FirmwareA, "\x1BIA\x05"sv, "ESC I A 05"sv},
        {Request::FlashRequest, "\x1B*FR"sv, "ESC *FR"sv},
        {Request::FlashEnterLocal, "\x1BIA\x0F"sv, "ESC I A 0F"sv},
    };
}

void PrinterModel::powerUpLocked() {
    inbox_.clear();
    unknown_.clear();
    unknownCount_ = 0;
    pending_.clear();
    linkBytes_ = 0;
    dropped_ = false;
    if (config_.statusAtPowerUp && speaksUnaskedLocked()) enqueueLocked(statusReplyLocked('S'), {});
}

size_t PrinterModel::write(const uint8_t* data, size_t length) {
    std::lock_guard lock(mutex_);
    settleLocked(false);
    if (dropped_ || (data == nullptr && length > 0)) return 0;
    size_t take = length;
    if (config_.writeLimit > 0) take = std::min(take, config_.writeLimit);
    if (config_.dropAfterBytes) {
        const size_t left =
            *config_.dropAfterBytes > linkBytes_ ? *config_.dropAfterBytes - linkBytes_ : 0;
        take = std::min(take, left);
    }
    size_t at = 0;
    while (at < take && !dropped_) {
        if (flash_.phase == FlashPhase::Receiving) {
            const size_t used = takeImageLocked(data + at, take - at);
            if (used == 0) break;  // it stopped taking the image
            at += used;
            continue;
        }
        settleLocked(false);
        if (offlineLocked()) {
            // A resetting printer takes what it is sent and loses it.
            ignoredWhileOffline_ += take - at;
            at = take;
            break;
        }
        // Byte by byte, so the bytes behind a flash-mode request go to the
        // image and not to the parser.
        inbox_.push_back(data[at++]);
        parseLocked();
    }
    take = at;
    // Unknown bytes go to the log with the write that brought them, also
    // while a partial request waits for its rest.
    flushUnknownLocked();
    const uint64_t room =
        config_.keepBytes > received_.size() ? config_.keepBytes - received_.size() : 0;
    received_.insert(received_.end(), data,
                     data + static_cast<size_t>(std::min<uint64_t>(take, room)));
    receivedCount_ += take;
    linkBytes_ += take;
    if (!dropped_ && config_.dropAfterBytes && linkBytes_ >= *config_.dropAfterBytes) {
        flushUnknownLocked();
        dropped_ = true;
        pending_.clear();
        logLocked("link dropped after " + std::to_string(linkBytes_) + " bytes");
        cutImageLocked("the image was cut by the dropped link");
    }
    return take;
}

size_t PrinterModel::takeImageLocked(const uint8_t* data, size_t length) {
    if (flash_.incomplete) return 0;
    size_t used = 0;
    if (flash_.awaitBenignZero && length > 0) {
        flash_.awaitBenignZero = false;
        if (data[0] == 0x00) {
            logLocked("parallel 0x00 after flash-mode entry");
            return 1;
        }
        logLocked("no parallel 0x00 after flash-mode entry");
    }
    const std::optional<uint64_t> cutPoint = cutPointLocked();
    uint64_t n = length;
    if (flash_.announced) n = std::min(n, *flash_.announced - imageCount_);
    if (cutPoint) n = std::min(n, *cutPoint > imageCount_ ? *cutPoint - imageCount_ : 0);
    const uint64_t room = config_.keepBytes > image_.size() ? config_.keepBytes - image_.size() : 0;
    image_.insert(image_.end(), data, data + static_cast<size_t>(std::min(n, room)));
    imageHash_.update(data, static_cast<size_t>(n));
    imageMarker_.feed(data, static_cast<size_t>(n));
    imageCount_ += n;
    used += static_cast<size_t>(n);
    if (n > 0) {
        flash_.anyByte = true;
        flash_.lastByteAt = nowLocked();
    }
    if (flash_.announced && imageCount_ == *flash_.announced) {
        endImageLocked(nowLocked(), "the announced payload is complete");
    } else if (cutPoint && imageCount_ >= *cutPoint) {
        const std::string at = std::to_string(imageCount_) + " image bytes";
        if (config_.dropAfterImageBytes && imageCount_ >= *config_.dropAfterImageBytes) {
            dropped_ = true;
            pending_.clear();
            logLocked("link dropped after " + at);
        } else {
            logLocked("stopped reading after " + at);
        }
        cutImageLocked("the image was cut: the printer took no more of it");
    }
    return used;
}

void PrinterModel::cutImageLocked(std::string line) {
    if (flash_.phase != FlashPhase::Receiving || flash_.incomplete) return;
    flash_.incomplete = true;
    logLocked(std::move(line) + "; the old firmware stays");
}

std::optional<uint64_t> PrinterModel::cutPointLocked() const {
    std::optional<uint64_t> at;
    for (const std::optional<size_t>& point :
         {config_.dropAfterImageBytes, config_.stopReadingAfterImageBytes}) {
        if (point && (!at || *point < *at)) at = *point;
    }
    return at;
}

uint64_t PrinterModel::quietEndLocked() const {
    return flash_.lastByteAt + (clock_ ? config_.flashQuietMs : 0);
}

void PrinterModel::parseLocked() {
    const std::vector<RequestRow>& table = table_;
    while (!inbox_.empty()) {
        const std::string_view in(reinterpret_cast<const char*>(inbox_.data()), inbox_.size());
        const RequestRow* whole = nullptr;
        bool partial = false;
        for (const RequestRow& row : table) {
            if (in.starts_with(row.bytes)) {
                whole = &row;
                break;
            }
            if (row.bytes.starts_with(in)) partial = true;
        }
        if (whole) {
            size_t used = whole->bytes.size();
            if (whole->kind == Request::ProgramCommand) {
                used = kProgramCommandSize;
                if (inbox_.size() < used) break;  // the length bytes may still come
            }
            flushUnknownLocked();
            const RequestRow row = *whole;
            // Taken off the inbox first: an answer may change the mode.
            const std::vector<uint8_t> request(inbox_.begin(),
                                               inbox_.begin() + static_cast<ptrdiff_t>(used));
            inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<ptrdiff_t>(used));
            answerLocked(row, request);
            continue;
        }
        if (partial) break;  // the rest of a request may still come
        // This byte can start no request any more.
        if (unknown_.size() < kUnknownBytesShown) unknown_.push_back(inbox_.front());
        ++unknownCount_;
        inbox_.erase(inbox_.begin());
    }
}

void PrinterModel::flushUnknownLocked() {
    if (unknownCount_ == 0) return;
    logLocked("unrecognised " + std::to_string(unknownCount_) + " bytes: " + printable(unknown_) +
              (unknownCount_ > unknown_.size() ? "..." : ""));
    unknown_.clear();
    unknownCount_ = 0;
}

void PrinterModel::logLocked(std::string line) {
    if (requestLog_.size() + 1 < kMaxRequestLogLines) {
        requestLog_.push_back(std::move(line));
    } else if (requestLog_.size() + 1 == kMaxRequestLogLines) {
        requestLog_.push_back("request log full: later lines are counted only");
        ++requestLinesNotKept_;
    } else {
        ++requestLinesNotKept_;
    }
}

void PrinterModel::answerLocked(const RequestRow& row, const std::vector<uint8_t>& request) {
    std::string line(row.name);
    if (config_.silent || flash_.silent) {
        logLocked(line + " -> (silent)");
        return;
    }
    std::vector<uint8_t> reply;
    std::vector<size_t> bursts;
    switch (row.kind) {
        case Request::FlashRequest:
            flash_.phase = FlashPhase::Requested;
            if (config_.silentAfterFlashRequest) {
                flash_.silent = true;
                logLocked(line + " -> (silent from now on)");
                return;
            }
            // Over TCP the request gets no reply; locally the printer's
            // ordinary status answers it.
            if (config_.link == LinkKind::Tcp) {
                logLocked(line + " -> (no reply)");
                return;
            }
            reply = statusReplyLocked('S');
            break;
        case Request::FlashEnterLocal:
        case Request::FlashEnterTcp: {
            const bool enters = flash_.phase == FlashPhase::Requested && !config_.flashReadyMissing;
            const bool tcp = row.kind == Request::FlashEnterTcp;
            if (enters) {
                if (tcp) {
                    reply.assign(config_.flashReadyText.begin(), config_.flashReadyText.end());
                } else {
                    reply = buildStatusReply('E', config_.statusByte3, config_.statusByte4,
                                             config_.flashReadyText);
                }
            } else {
                if (flash_.phase == FlashPhase::Requested) flash_.phase = FlashPhase::Idle;
                reply =
                    tcp ? std::vector<uint8_t>(kFlashRefusedText.begin(), kFlashRefusedText.end())
                        : statusReplyLocked('E');
            }
            if (!tcp && config_.lateFlashReady) {
                std::vector<uint8_t> first = statusReplyLocked('S');
                logReplyLocked("unasked status ahead of the reply", first);
                enqueueLocked(std::move(first), {});
            }
            logReplyLocked(line, reply);
            enqueueLocked(std::move(reply), {});
            if (enters) enterFlashModeLocked(std::nullopt);
            return;
        }
        case Request::ProgramCommand: {
            const uint64_t announced = programCommandLength(request.data());
            logLocked(line + " for " + std::to_string(announced) + " bytes");
            enterFlashModeLocked(announced);
            return;
        }
        case Request::DeviceIdTcp: {
            const std::string id = deviceIdLocked();
            reply.assign(id.begin(), id.end());
            break;
        }
        case Request::StatusTcp:
        case Request::StatusS: reply = statusReplyLocked('S'); break;
        case Request::StatusN: reply = statusReplyLocked('N'); break;
        case Request::StatusE: reply = statusReplyLocked('E'); break;
        case Request::StatusC: reply = statusReplyLocked('C'); break;
        case Request::FirmwareA: reply = firmwareReplyLocked(); break;
        case Request::HwStatus:
            reply = config_.statusReplyOverride ? *config_.statusReplyOverride
                                                : std::vector<uint8_t>{config_.hwStatusByte};
            break;
        case Request::HwVersion:
            reply = hwVersionReplyLocked();
            bursts = config_.versionBursts;
            break;
    }
    logReplyLocked(line, reply);
    enqueueLocked(std::move(reply), bursts);
}

void PrinterModel::logReplyLocked(std::string line, const std::vector<uint8_t>& reply) {
    line += " -> " + printable(reply) + " (" + std::to_string(reply.size()) + " bytes";
    if (reply.size() <= kHexShownUpTo) line += ": " + hex(reply);
    line += ")";
    logLocked(std::move(line));
}

uint64_t PrinterModel::programCommandLength(const uint8_t* command) {
    const uint64_t low = command[5] | (uint64_t{command[6]} << 8);
    // Byte 7 is the high part up to 254; 0xFF says that byte 8 holds the
    // high part plus one, cut to 8 bits.
    const uint64_t high = command[7] < 0xFF ? command[7] : 0xFFu + command[8];
    return low | (high << 16);
}

uint64_t PrinterModel::nowLocked() const { return clock_ ? clock_->tickMs() : 0; }

void PrinterModel::enterFlashModeLocked(std::optional<uint64_t> announced) {
    versionBefore_ = firmwareTextLocked();
    flash_.phase = FlashPhase::Receiving;
    flash_.enteredAt = nowLocked();
    flash_.lastByteAt = flash_.enteredAt;
    flash_.anyByte = false;
    flash_.announced = announced;
    flash_.awaitBenignZero = !announced && config_.link == LinkKind::Parallel;
    flash_.incomplete = false;
    flash_.newVersion.clear();
    image_.clear();
    imageCount_ = 0;
    imageHash_ = Sha256();
    imageMarker_ = FirmwareMarkerScanner();
    ++flashes_;
    logLocked("flash mode: receiving the image");
    if (announced && *announced == 0)
        endImageLocked(flash_.enteredAt, "the announced payload is empty");
    if (config_.stopReadingAfterImageBytes == 0u) {
        logLocked("stopped reading after 0 image bytes");
        cutImageLocked("the image was cut: the printer took none of it");
    }
}

void PrinterModel::endImageLocked(uint64_t at, const char* why) {
    flash_.newVersion = flash_.incomplete ? std::string() : imageMarker_.version();
    flash_.backAt = at + (clock_ ? config_.resetMs : 0);
    flash_.phase = config_.neverComesBack ? FlashPhase::Dead : FlashPhase::Resetting;
    inbox_.clear();
    unknown_.clear();
    pending_.clear();
    unknownCount_ = 0;
    std::string line = "image ended after " + std::to_string(imageCount_) + " bytes (" + why + ")" +
                       (flash_.incomplete ? ", incomplete" : "") + "; ";
    line += config_.neverComesBack
                ? std::string("the printer never comes back")
                : "resetting for " + std::to_string(clock_ ? config_.resetMs : 0) + " ms";
    logLocked(std::move(line));
}

void PrinterModel::settleLocked(bool poll) {
    if (flash_.phase == FlashPhase::Receiving && poll && !flash_.announced) {
        const uint64_t now = nowLocked();
        const uint64_t quietEnd = quietEndLocked();
        if (quietEnd <= now) {
            endImageLocked(quietEnd, "quiet, then the host polled");
        } else {
            endImageLocked(now, "the host polled");
        }
    }
    if (flash_.phase == FlashPhase::Resetting && nowLocked() >= flash_.backAt) {
        flash_.phase = FlashPhase::Idle;
        flash_.silent = false;
        if (!flash_.newVersion.empty()) flashedVersion_ = flash_.newVersion;
        logLocked("back after the reset with firmware " + firmwareTextLocked());
        powerUpLocked();
    }
}

bool PrinterModel::offlineLocked() const {
    return flash_.phase == FlashPhase::Dead ||
           (flash_.phase == FlashPhase::Resetting && nowLocked() < flash_.backAt);
}

bool PrinterModel::offline() const {
    std::lock_guard lock(mutex_);
    return offlineLocked();
}

FlashPhase PrinterModel::flashPhase() const {
    std::lock_guard lock(mutex_);
    if (flash_.phase == FlashPhase::Resetting && !offlineLocked()) return FlashPhase::Idle;
    return flash_.phase;
}

std::vector<uint8_t> PrinterModel::flashImage() const {
    std::lock_guard lock(mutex_);
    return image_;
}

FlashSummary PrinterModel::flashSummary() const {
    std::lock_guard lock(mutex_);
    FlashSummary out;
    out.flashes = flashes_;
    out.imageBytes = imageCount_;
    Sha256 hash = imageHash_;
    out.imageSha256 = hash.finishHex();
    out.versionBefore = flashes_ > 0 ? versionBefore_ : firmwareTextLocked();
    out.versionNow = firmwareTextLocked();
    out.phase = flash_.phase;
    if (flash_.phase == FlashPhase::Resetting && !offlineLocked()) out.phase = FlashPhase::Idle;
    out.incomplete = flash_.incomplete;
    return out;
}

std::string_view flashPhaseName(FlashPhase phase) {
    switch (phase) {
        case FlashPhase::Idle: return "idle";
        case FlashPhase::Requested: return "flash requested";
        case FlashPhase::Receiving: return "receiving the image";
        case FlashPhase::Resetting: return "resetting";
        case FlashPhase::Dead: return "never came back";
    }
    return "?";
}

void PrinterModel::enqueueLocked(std::vector<uint8_t> reply, const std::vector<size_t>& bursts) {
    if (reply.empty()) return;
    if (pending_.size() >= kMaxPendingReplies) {
        logLocked("reply lost: " + std::to_string(kMaxPendingReplies) + " replies wait unread");
        return;
    }
    size_t at = 0;
    size_t burst = 0;
    while (at < reply.size()) {
        size_t n = reply.size() - at;
        if (!bursts.empty()) {
            if (burst + 1 < bursts.size()) n = std::min(n, std::max<size_t>(bursts[burst], 1));
            ++burst;
        } else if (config_.replySplit > 0) {
            n = std::min(n, config_.replySplit);
        }
        pending_.emplace_back(reply.begin() + static_cast<ptrdiff_t>(at),
                              reply.begin() + static_cast<ptrdiff_t>(at + n));
        at += n;
    }
}

bool PrinterModel::speaksUnaskedLocked() const {
    return config_.link != LinkKind::Tcp && !config_.zor1Family && !config_.silent && !dropped_ &&
           !flash_.silent && !offlineLocked();
}

bool PrinterModel::idleStatusAppliesLocked() const {
    return config_.statusStaysPending && speaksUnaskedLocked() &&
           (flash_.phase == FlashPhase::Idle || flash_.phase == FlashPhase::Requested);
}

std::vector<uint8_t> PrinterModel::read(size_t capacity) {
    std::lock_guard lock(mutex_);
    settleLocked(pending_.empty());
    if (capacity == 0) return {};
    if (pending_.empty() && idleStatusAppliesLocked()) enqueueLocked(statusReplyLocked('S'), {});
    if (pending_.empty()) return {};
    std::vector<uint8_t>& piece = pending_.front();
    const size_t n = std::min(capacity, piece.size());
    std::vector<uint8_t> out(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(n));
    piece.erase(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(n));
    if (piece.empty()) pending_.pop_front();
    return out;
}

bool PrinterModel::hasPending() const {
    std::lock_guard lock(mutex_);
    return !pending_.empty() || idleStatusAppliesLocked();
}

std::optional<std::vector<uint8_t>> PrinterModel::pendingStatus() const {
    std::lock_guard lock(mutex_);
    if (!speaksUnaskedLocked() || flash_.phase == FlashPhase::Receiving) return std::nullopt;
    return statusReplyLocked('S');
}

std::optional<std::string> PrinterModel::queryDeviceId() {
    std::lock_guard lock(mutex_);
    settleLocked(true);
    if (config_.deviceIdQueryFails || config_.silent || dropped_ || flash_.silent ||
        offlineLocked()) {
        return std::nullopt;
    }
    return deviceIdLocked();
}

std::vector<uint8_t> PrinterModel::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

uint64_t PrinterModel::receivedCount() const {
    std::lock_guard lock(mutex_);
    return receivedCount_;
}

size_t PrinterModel::requestLinesNotKept() const {
    std::lock_guard lock(mutex_);
    return requestLinesNotKept_;
}

std::vector<std::string> PrinterModel::requestLog() const {
    std::lock_guard lock(mutex_);
    return requestLog_;
}

std::vector<std::string> PrinterModel::requestLogFrom(size_t from) const {
    std::lock_guard lock(mutex_);
    if (from >= requestLog_.size()) return {};
    return std::vector<std::string>(requestLog_.begin() + static_cast<ptrdiff_t>(from),
                                    requestLog_.end());
}

PrinterConfig PrinterModel::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void PrinterModel::setConfig(const PrinterConfig& config) {
    std::lock_guard lock(mutex_);
    config_ = config;
    table_ = requestTable(config_);
}

void PrinterModel::powerCycle() {
    std::lock_guard lock(mutex_);
    settleLocked(false);
    // Off and on again: a flash under way is abandoned, a reset is over at
    // once; a printer that never comes back stays that way.
    if (flash_.phase == FlashPhase::Resetting) {
        flash_.backAt = nowLocked();
        settleLocked(false);
    } else if (flash_.phase == FlashPhase::Requested || flash_.phase == FlashPhase::Receiving) {
        flash_.phase = FlashPhase::Idle;
        logLocked("power cycled: the flash was abandoned");
    }
    flash_.silent = false;
    powerUpLocked();
}

void PrinterModel::linkReset() {
    std::lock_guard lock(mutex_);
    settleLocked(true);
    inbox_.clear();
    unknown_.clear();
    unknownCount_ = 0;
    pending_.clear();
    linkBytes_ = 0;
    dropped_ = false;
}

bool PrinterModel::linkDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void PrinterModel::linkEnded() {
    std::lock_guard lock(mutex_);
    if (flash_.phase != FlashPhase::Receiving) return;
    // A host that had finished went quiet first; a ZOR1 image is whole only
    // at its announced length.
    if (flash_.announced || nowLocked() < quietEndLocked())
        cutImageLocked("the link ended while the image was arriving");
}

uint64_t PrinterModel::readAllowance() const {
    std::lock_guard lock(mutex_);
    if (flash_.phase != FlashPhase::Receiving) return UINT64_MAX;
    if (flash_.incomplete) return 0;
    const std::optional<size_t> stop = config_.stopReadingAfterImageBytes;
    if (!stop) return UINT64_MAX;
    return *stop > imageCount_ ? *stop - imageCount_ : 0;
}

std::string PrinterModel::firmwareText() const {
    std::lock_guard lock(mutex_);
    return firmwareTextLocked();
}

std::string PrinterModel::firmwareTextLocked() const {
    if (!flashedVersion_.empty()) return flashedVersion_.substr(0, kMaxFirmwareText);
    if (!config_.firmwareText.empty()) return config_.firmwareText.substr(0, kMaxFirmwareText);
    const auto [from, length] = firmwareValueIn(config_.deviceId);
    if (from == std::string::npos) return {};
    return config_.deviceId.substr(from, std::min(length, kMaxFirmwareText));
}

std::string PrinterModel::deviceIdLocked() const {
    std::string id = config_.deviceId;
    if (flashedVersion_.empty()) return id;
    // After a flash the ID names the new firmware.
    const auto [from, length] = firmwareValueIn(id);
    if (from == std::string::npos) {
        if (!id.empty() && id.back() != ';') id += ';';
        return id + std::string(kFirmwareVersionMarker) + flashedVersion_ + ";";
    }
    id.replace(from, length, flashedVersion_);
    return id;
}

std::vector<uint8_t> PrinterModel::statusReplyLocked(char kind) const {
    if (config_.statusReplyOverride) return *config_.statusReplyOverride;
    return buildStatusReply(kind, config_.statusByte3, config_.statusByte4, firmwareTextLocked());
}

std::vector<uint8_t> PrinterModel::firmwareReplyLocked() const {
    return buildFirmwareReply(firmwareTextLocked());
}

std::vector<uint8_t> PrinterModel::hwVersionReplyLocked() const {
    std::string chars = flashedVersion_.empty() ? config_.versionChars : std::string();
    if (chars.empty()) {
        chars = firmwareTextLocked();
        if (!chars.empty() && chars.front() == 'V') chars.erase(0, 1);
        chars = chars.substr(0, 4);
    }
    std::vector<uint8_t> out;
    if (config_.versionPrefixAA55) out = {0xAA, 0x55};
    appendText(out, chars);
    return out;
}

}  // namespace kv::emulator
