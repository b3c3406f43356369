#include "emulator/PrinterModel.h"

#include <algorithm>
#include <cstdio>

#include "platform/Trace.h"

namespace kv::emulator {

namespace {

constexpr size_t kMaxFirmwareText = 99;  // two decimal digits of length

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
    : config_(std::move(config)), clock_(clock) {
    std::lock_guard lock(mutex_);
    powerUpLocked();
}

std::vector<PrinterModel::RequestRow> PrinterModel::requestTable(const PrinterConfig& config) {
    using namespace std::string_view_literals;
    if (config.link == LinkKind::Tcp) {
        return {
            {Request::DeviceIdTcp, "<SA08>"sv, "\"<SA08>\""sv},
            {Request::StatusTcp, "<SS>"sv, "\"<SS>\""sv},
        };
    }
    if (config.zor1Family) {
        return {
            {Request::HwStatus, "\x10\xAA\x55\x80\x54\xAB"sv, "HW status 10 AA 55 80 54 AB"sv},
            {Request::HwVersion, "\x1D\x49\x41"sv, "GS I A"sv},
        };
    }
    return {
        {Request::StatusS, "\x1BIS"sv, "ESC I S"sv},
        {Request::StatusN, "\x1BIN"sv, "ESC I N"sv},
        {Request::StatusE, "\x1BIE"sv, "ESC I E"sv},
        {Request::StatusC, "\x1BIC"sv, "ESC I C"sv},
        {Request::FirmwareA, "\x1BIA\x05"sv, "ESC I A 05"sv},
    };
}

void PrinterModel::powerUpLocked() {
    inbox_.clear();
    unknown_.clear();
    pending_.clear();
    linkBytes_ = 0;
    dropped_ = false;
    if (config_.link != LinkKind::Tcp && !config_.zor1Family && !config_.silent &&
        config_.statusAtPowerUp) {
        enqueueLocked(statusReplyLocked('S'), {});
    }
}

size_t PrinterModel::write(const uint8_t* data, size_t length) {
    std::lock_guard lock(mutex_);
    if (dropped_ || (data == nullptr && length > 0)) return 0;
    size_t take = length;
    if (config_.dropAfterBytes) {
        const size_t left =
            *config_.dropAfterBytes > linkBytes_ ? *config_.dropAfterBytes - linkBytes_ : 0;
        take = std::min(take, left);
    }
    received_.insert(received_.end(), data, data + take);
    inbox_.insert(inbox_.end(), data, data + take);
    linkBytes_ += take;
    parseLocked();
    if (config_.dropAfterBytes && linkBytes_ >= *config_.dropAfterBytes) {
        flushUnknownLocked();
        dropped_ = true;
        pending_.clear();
        requestLog_.push_back("link dropped after " + std::to_string(linkBytes_) + " bytes");
    }
    return take;
}

void PrinterModel::parseLocked() {
    const std::vector<RequestRow> table = requestTable(config_);
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
            flushUnknownLocked();
            const size_t used = whole->bytes.size();
            answerLocked(*whole);
            inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<ptrdiff_t>(used));
            continue;
        }
        if (partial) break;  // the rest of a request may still come
        unknown_.push_back(inbox_.front());
        inbox_.erase(inbox_.begin());
    }
    if (inbox_.empty()) flushUnknownLocked();
}

void PrinterModel::flushUnknownLocked() {
    if (unknown_.empty()) return;
    requestLog_.push_back("unrecognised " + std::to_string(unknown_.size()) +
                          " bytes: " + printable(unknown_));
    unknown_.clear();
}

void PrinterModel::answerLocked(const RequestRow& row) {
    std::string line(row.name);
    if (config_.silent) {
        requestLog_.push_back(line + " -> (silent)");
        return;
    }
    std::vector<uint8_t> reply;
    std::vector<size_t> bursts;
    switch (row.kind) {
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
    line += " -> " + printable(reply) + " (" + std::to_string(reply.size()) + " bytes";
    if (reply.size() <= kHexShownUpTo) line += ": " + hex(reply);
    line += ")";
    requestLog_.push_back(std::move(line));
    enqueueLocked(std::move(reply), bursts);
}

void PrinterModel::enqueueLocked(std::vector<uint8_t> reply, const std::vector<size_t>& bursts) {
    if (reply.empty()) return;
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

bool PrinterModel::idleStatusAppliesLocked() const {
    return config_.link != LinkKind::Tcp && !config_.zor1Family && !config_.silent &&
           config_.statusStaysPending && !dropped_;
}

std::vector<uint8_t> PrinterModel::read(size_t capacity) {
    std::lock_guard lock(mutex_);
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

std::optional<std::string> PrinterModel::queryDeviceId() const {
    std::lock_guard lock(mutex_);
    if (config_.deviceIdQueryFails || config_.silent || dropped_) return std::nullopt;
    return deviceIdLocked();
}

std::vector<uint8_t> PrinterModel::received() const {
    std::lock_guard lock(mutex_);
    return received_;
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
}

void PrinterModel::powerCycle() {
    std::lock_guard lock(mutex_);
    powerUpLocked();
}

void PrinterModel::linkReset() {
    std::lock_guard lock(mutex_);
    inbox_.clear();
    unknown_.clear();
    pending_.clear();
    linkBytes_ = 0;
    dropped_ = false;
}

bool PrinterModel::linkDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::string PrinterModel::firmwareText() const {
    std::lock_guard lock(mutex_);
    return firmwareTextLocked();
}

std::string PrinterModel::deviceIdNow() const {
    std::lock_guard lock(mutex_);
    return deviceIdLocked();
}

std::string PrinterModel::firmwareTextLocked() const {
    if (!config_.firmwareText.empty()) return config_.firmwareText.substr(0, kMaxFirmwareText);
    const std::string& id = config_.deviceId;
    const size_t key = id.find("FWV:");
    if (key == std::string::npos) return {};
    const size_t from = key + 4;
    const size_t end = id.find(';', from);
    return id.substr(from, std::min(end == std::string::npos ? id.size() - from : end - from,
                                     kMaxFirmwareText));
}

std::string PrinterModel::deviceIdLocked() const {
    // Flash programming will change the reported version; until then the
    // configured ID is what the printer reports.
    return config_.deviceId;
}

std::vector<uint8_t> PrinterModel::statusReplyLocked(char kind) const {
    if (config_.statusReplyOverride) return *config_.statusReplyOverride;
    return buildStatusReply(kind, config_.statusByte3, config_.statusByte4, firmwareTextLocked());
}

std::vector<uint8_t> PrinterModel::firmwareReplyLocked() const {
    return buildFirmwareReply(firmwareTextLocked());
}

std::vector<uint8_t> PrinterModel::hwVersionReplyLocked() const {
    std::string chars = config_.versionChars;
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
