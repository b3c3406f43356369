#include "emulator/GadgetServer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace kv::emulator {

namespace {

constexpr size_t kReadChunk = 8192;  // one bulk buffer of the printer function

}  // namespace

uint8_t portStatusBits(uint8_t statusByte3, uint8_t statusByte4) {
    uint8_t bits = 0;
    if ((statusByte3 & 0x80) == 0) bits |= platform::kPortSelected;
    if (statusByte3 & 0x01) bits |= platform::kPortPaperEmpty;
    if (statusByte3 == 0 && (statusByte4 & 0x20) == 0) bits |= platform::kPortNotError;
    return bits;
}

GadgetServer::GadgetServer(PrinterModel& model, platform::UsbGadget& port, platform::Clock& clock,
                           Options options)
    : model_(model), port_(port), clock_(clock), options_(std::move(options)) {}

GadgetServer::~GadgetServer() { stop(); }

bool GadgetServer::start() {
    logged_ = model_.requestLog().size();
    if (!plugIn()) return false;
    thread_ = std::thread([this] {
        while (!stopping_) turn();
    });
    return true;
}

void GadgetServer::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (plugged()) pullOut("serving stops");
}

bool GadgetServer::plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

size_t GadgetServer::plugs() const {
    std::lock_guard lock(mutex_);
    return plugs_;
}

uint64_t GadgetServer::bytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}

bool GadgetServer::plugIn() {
    // A fresh device: nothing half-received or unsent survives.
    model_.linkReset();
    const std::optional<std::string> id = model_.queryDeviceId();
    if (const auto plugged = port_.plug(id.value_or("")); !plugged) {
        log("cannot plug in: " + plugged.reason());
        return false;
    }
    const PrinterConfig config = model_.config();
    const uint8_t bits = portStatusBits(config.statusByte3, config.statusByte4);
    if (const auto set = port_.setPortStatus(bits); !set) {
        log("cannot set the port status: " + set.reason());
    }
    held_.clear();
    outbox_.clear();
    inFlight_ = false;
    const uint64_t now = clock_.tickMs();
    lastHostByteAt_ = now;
    lastTakenAt_ = now;
    lastUnaskedAt_ = 0;
    {
        std::lock_guard lock(mutex_);
        plugged_ = true;
        ++plugs_;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", bits);
    log("plugged in with device ID " + id.value_or("(none)") + ", port status " + hex);
    return true;
}

void GadgetServer::pullOut(const std::string& why) {
    port_.unplug();
    model_.linkEnded();
    {
        std::lock_guard lock(mutex_);
        plugged_ = false;
    }
    log("unplugged (" + why + ")");
}

void GadgetServer::turn() {
    if (!plugged()) {
        // Back from the reset: the model comes back once its time is over.
        if (!pulledForGood_ && model_.flashPhase() != FlashPhase::Dead && !model_.offline()) {
            if (plugIn()) return;
        }
        clock_.sleepMs(options_.sliceMs);
        return;
    }
    const uint64_t now = clock_.tickMs();
    // The image has ended once the host went quiet after its first byte;
    // a poll of the model says so. ZOR1 images end by their length.
    const FlashSummary flash = model_.flashSummary();
    if (flash.phase == FlashPhase::Receiving && flash.imageBytes > 0 && held_.empty() &&
        model_.readAllowance() > 0 && now - lastHostByteAt_ >= model_.config().flashQuietMs) {
        model_.queryDeviceId();
        logNewRequests();
    }
    if (model_.offline()) {
        pullOut("resetting after the image");
        return;
    }
    takeHostBytes();
    checkFaults();
    if (!plugged()) return;
    sendOutput(clock_.tickMs());
}

void GadgetServer::takeHostBytes() {
    if (held_.empty()) {
        if (model_.readAllowance() == 0) {
            clock_.sleepMs(options_.sliceMs);
            return;
        }
        std::array<uint8_t, kReadChunk> buffer{};
        const auto got = port_.read(buffer.data(), buffer.size(), options_.sliceMs);
        if (!got) {
            // Not configured by the host yet, or gone: try again shortly.
            clock_.sleepMs(options_.sliceMs);
            return;
        }
        const size_t n = *got;
        if (n == 0) return;
        held_.assign(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
        lastHostByteAt_ = clock_.tickMs();
        std::lock_guard lock(mutex_);
        bytesReceived_ += n;
    } else {
        // A printer that takes few bytes at a time gets the rest offered
        // again a moment later; meanwhile the host's writes wait.
        clock_.sleepMs(options_.pieceGapMs);
    }
    const size_t took = model_.write(held_.data(), held_.size());
    held_.erase(held_.begin(), held_.begin() + static_cast<ptrdiff_t>(took));
    if (took > 0) lastHostByteAt_ = clock_.tickMs();
    logNewRequests();
    if (model_.linkDropped()) {
        held_.clear();
        pulledForGood_ = true;
        pullOut("the printer dropped the link");
    }
}

void GadgetServer::checkFaults() {
    if (!plugged()) return;
    const FlashSummary flash = model_.flashSummary();
    if (flash.phase != FlashPhase::Receiving) return;
    if (options_.unplugAfterImageBytes && flash.imageBytes >= *options_.unplugAfterImageBytes) {
        pulledForGood_ = true;
        pullOut("pulled out after " + std::to_string(flash.imageBytes) + " image bytes");
    }
}

void GadgetServer::sendOutput(uint64_t now) {
    while (model_.hasPending()) {
        std::vector<uint8_t> piece = model_.read(SIZE_MAX);
        if (piece.empty()) break;
        outbox_.push_back(std::move(piece));
    }
    if (options_.unaskedStatusMs && lastUnaskedAt_ <= lastHostByteAt_) {
        if (now - lastHostByteAt_ >= *options_.unaskedStatusMs) {
            if (const auto status = model_.pendingStatus()) {
                outbox_.push_back(*status);
                lastUnaskedAt_ = now;
                log("unasked status queued");
            }
        }
    }
    if (inFlight_) {
        if (!port_.idle()) return;  // one thing at a time
        inFlight_ = false;
        lastTakenAt_ = now;
    }
    std::vector<uint8_t> next;
    if (!outbox_.empty()) {
        next = std::move(outbox_.front());
        outbox_.pop_front();
    } else if (now - lastTakenAt_ >= options_.statusRepeatMs &&
               now - lastHostByteAt_ >= options_.statusRepeatMs) {
        if (const auto status = model_.pendingStatus()) next = *status;
    }
    if (next.empty()) return;
    if (const auto written = port_.write(next.data(), next.size()); !written) {
        log("write to the host failed: " + written.reason());
        return;
    }
    inFlight_ = true;
}

void GadgetServer::logNewRequests() {
    const std::vector<std::string> lines = model_.requestLogFrom(logged_);
    logged_ += lines.size();
    for (const std::string& line : lines) log(line);
}

void GadgetServer::log(const std::string& line) {
    if (options_.log) options_.log(line);
}

}  // namespace kv::emulator
