#include "fleet/WorldParts.h"

#include "platform/Format.h"

namespace kv::fleet {

using platform::Control;
using platform::TransferPhase;

namespace {

constexpr const char* kNoQueues = "no print queues in a fleet run";

}  // namespace

void SlotControls::setText(Control control, const std::string& text) {
    if (control != Control::statusText && control != Control::programStatusText &&
        control != Control::printerModelText) {
        return;  // the per-block counts and the other fields: the progress says it
    }
    slot_.update([&](PrinterSnapshot& s) {
        if (control == Control::printerModelText) {
            if (!s.flashModeEntered) s.model = boundedText(text);
            return;
        }
        s.detail = boundedText(text);
    });
}

void SlotSteps::began(FlashStep step) {
    slot_.update([&](PrinterSnapshot& s) {
        switch (step) {
            case FlashStep::Identifying:
                s.phase = s.flashModeEntered ? Phase::Reidentifying : Phase::Identifying;
                break;
            case FlashStep::FlashMode:
                s.phase = Phase::FlashMode;
                s.flashModeEntered = true;
                break;
        }
    });
}

platform::SocketHandle BoundedNetwork::openTcp() {
    std::lock_guard lock(mutex_);
    if (isCut()) return platform::SocketHandle::invalid();
    const platform::SocketHandle socket = inner_.openTcp();
    if (socket.valid()) open_.push_back(socket);
    return socket;
}

void BoundedNetwork::close(platform::SocketHandle socket) {
    std::lock_guard lock(mutex_);
    std::erase(open_, socket);
    inner_.close(socket);
}

void BoundedNetwork::cut() {
    std::lock_guard lock(mutex_);
    cut_ = true;
    for (const platform::SocketHandle socket : open_) inner_.shutdown(socket);
}

void SlotControls::setProgress(const platform::TransferProgress& progress) {
    slot_.update([&](PrinterSnapshot& s) {
        s.progress = progress;
        switch (progress.phase) {
            case TransferPhase::StartDelay: s.phase = Phase::StartDelay; break;
            case TransferPhase::Data:
                s.phase = Phase::Sending;
                s.bytesSent = progress.done;
                break;
            case TransferPhase::ResetWait: s.phase = Phase::ResetWait; break;
            case TransferPhase::None: break;
        }
    });
}

void SlotControls::setVerification(const std::optional<platform::Verification>& verdict) {
    std::lock_guard lock(mutex_);
    verdict_ = verdict;
}

std::optional<platform::Verification> SlotControls::verdict() const {
    std::lock_guard lock(mutex_);
    return verdict_;
}

platform::BoxAnswer SlotUi::messageBox(const std::optional<std::string>& caption,
                                       const std::string& text, platform::BoxButtons buttons) {
    const bool yes = buttons == platform::BoxButtons::YesNo && flashSameVersion_;
    std::string said = caption ? *caption + ": " + text : text;
    if (buttons == platform::BoxButtons::YesNo) said += yes ? " -> yes" : " -> no";
    slot_.update([&](PrinterSnapshot& s) {
        s.boxes.push_back(boundedText(said));
        s.detail = boundedText(text);
    });
    if (buttons == platform::BoxButtons::Ok) return platform::BoxAnswer::Ok;
    return yes ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
}

void PrefixTrace::write(std::string_view line) {
    std::string prefixed = prefix_;
    prefixed += line;
    inner_.write(prefixed);
    if (log_) log_->write(line);
}

platform::DeviceHandle RefusingLocalServices::open(const std::string&, platform::ShareMode) {
    refused();
    return {};
}
bool RefusingLocalServices::read(platform::DeviceHandle, uint8_t*, size_t, size_t& obtained) {
    refused();
    obtained = 0;
    return false;
}
bool RefusingLocalServices::write(platform::DeviceHandle, const uint8_t*, size_t, size_t& taken) {
    refused();
    taken = 0;
    return false;
}
bool RefusingLocalServices::queryDeviceId(platform::DeviceHandle, uint8_t*, size_t,
                                          size_t& obtained) {
    refused();
    obtained = 0;
    return false;
}
bool RefusingLocalServices::getCommTimeouts(platform::DeviceHandle, platform::CommTimeouts&) {
    refused();
    return false;
}
bool RefusingLocalServices::setCommTimeouts(platform::DeviceHandle, const platform::CommTimeouts&) {
    refused();
    return false;
}
bool RefusingLocalServices::close(platform::DeviceHandle) {
    refused();
    return false;
}
std::optional<std::vector<platform::DeviceInterface>> RefusingLocalServices::list(
    platform::InterfaceClass) {
    refused();
    return std::nullopt;
}
platform::Result<std::vector<platform::QueueRecord>> RefusingLocalServices::enumerateLocal() {
    refused();
    return platform::Failure{kNoQueues};
}
platform::Result<platform::QueueHandle> RefusingLocalServices::open(const std::string&) {
    refused();
    return platform::Failure{kNoQueues};
}
platform::Result<platform::QueueRecord> RefusingLocalServices::get(platform::QueueHandle) {
    refused();
    return platform::Failure{kNoQueues};
}
platform::Result<void> RefusingLocalServices::set(platform::QueueHandle,
                                                  const platform::QueueRecord&) {
    refused();
    return platform::Failure{kNoQueues};
}
void RefusingLocalServices::adoptHold(platform::QueueHandle) { refused(); }
void RefusingLocalServices::close(platform::QueueHandle) { refused(); }

platform::Result<void> CountingInhibitor::acquire(const std::string& who, const std::string& why) {
    std::lock_guard lock(mutex_);
    if (holders_++ == 0) held_ = inner_.acquire(who, why);
    return held_;
}

void CountingInhibitor::release() {
    std::lock_guard lock(mutex_);
    if (holders_ == 0) return;
    if (--holders_ > 0) return;
    if (held_) inner_.release();
    held_ = platform::Failure{};
}

int CountingInhibitor::holders() const {
    std::lock_guard lock(mutex_);
    return holders_;
}

}  // namespace kv::fleet
