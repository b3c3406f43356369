#include "flash/EthernetFlash.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "flash/FlashAttempt.h"
#include "flash/FlashEntry.h"
#include "flash/FlashWorker.h"
#include "flash/ImageSignature.h"
#include "flash/LoadFirmwareImage.h"
#include "link/Ethernet.h"
#include "platform/Format.h"
#include "platform/Trace.h"
#include "platform/Ui.h"
#include "printer/Identity.h"
#include "printer/SameVersion.h"
#include "printer/discovery/EthernetDiscovery.h"
#include "spooler/PortRedirection.h"

namespace kv {

namespace {

using platform::Control;
using platform::TransferPhase;
using platform::TransferProgress;

constexpr std::string_view kEscFR = "\x1B*FR";
constexpr std::string_view kSA15 = "<SA15>";

using platform::formatted;

bool sendRequest(Context& ctx, platform::SocketHandle socket, std::string_view request) {
    int32_t sent = 0;
    return WriteFileEthernet(ctx.sys, socket, reinterpret_cast<const uint8_t*>(request.data()),
                             static_cast<uint32_t>(request.size()), sent);
}

// ESC *FR, then <SA15>, whose reply must hold "FLASH READY"; the box of
// the step that failed otherwise.
std::optional<std::string_view> askForFlashMode(Context& ctx, platform::SocketHandle socket) {
    platform::Trace& trace = ctx.trace();
    platform::Clock& clock = ctx.clock();
    clock.sleepMs(500);
    if (!sendRequest(ctx, socket, kEscFR)) return "Error writing [esc]FR to printer";
    trace.write("Success writing [esc]FR to printer");

    clock.sleepMs(100);
    if (!sendRequest(ctx, socket, kSA15)) return "Error writing <SA15> to printer";
    trace.write("Success writing <SA15> to printer");

    clock.sleepMs(500);
    std::array<uint8_t, kFlashReplySize> reply{};
    uint32_t length = kFlashReplySize;
    if (!ReadDataEthernet(ctx.sys, socket, reply.data(), length)) {
        return "Could not read status back after writing <SA15>";
    }
    trace.write("Success reading after <SA15> written to printer");

    const std::string_view received(reinterpret_cast<const char*>(reply.data()), length);
    if (received.find(kFlashReady) == std::string_view::npos) {
        return "Failed to entered flash programming mode";
    }
    return std::nullopt;
}

// Every byte of the block within one send bound, however many sends that
// takes. A send that fails, or takes nothing, ends it.
bool sendWholeBlock(Context& ctx, platform::SocketHandle socket, const uint8_t* block,
                    uint32_t length) {
    platform::SendBudget budget{ctx.sys.network().bounds().sendMs};
    uint32_t done = 0;
    while (done < length) {
        int32_t sent = 0;
        if (!WriteFileEthernet(ctx.sys, socket, block + done, length - done, sent, budget) ||
            sent <= 0)
            return false;
        done += static_cast<uint32_t>(sent);
    }
    return true;
}

class EthernetTransfer {
public:
    EthernetTransfer(Context& ctx, FlashJob& job)
        : ctx_(ctx), job_(job), controls_(*job.controls), socket_(job.socket), image_(job.image) {}

    // True when the image went over and the reset wait passed.
    bool run() {
        setStatus("Delaying 15 seconds");
        countSeconds(kEthernetStartDelaySeconds, TransferPhase::StartDelay);
        static const FirmwareImage empty;
        const FirmwareImage& image = image_ ? *image_ : empty;
        const EthernetWire wire = ethernetWireFor(image);
        const uint32_t total = wire.total();
        setStatus(formatted("Programming %d KBytes", static_cast<int>(total / 1024)));
        setProgress({TransferPhase::Data, 0, total});
        if (!stream(image.data.data(), wire)) return false;

        setState("End Of File");
        setProgress({TransferPhase::Data, total, total});
        ctx_.clock().sleepMs(1000);
        setStatus("Waiting for reset");
        countSeconds(kEthernetResetWaitSeconds, TransferPhase::ResetWait);
        setStatus("Progamming complete");
        setState(" ");
        setProgress({});
        return true;
    }

private:
    bool stream(const uint8_t* data, const EthernetWire& wire) {
        const uint32_t length = wire.total();
        uint32_t left = length;
        uint32_t total = 0;
        while (true) {
            const uint32_t block = std::min(left, kEthernetBlockSize);
            const uint32_t at = total;
            left -= block;
            total += block;
            if (block == 0) return true;
            setState(formatted("%d KBytes programmed\r\n", static_cast<int>(total / 1024)));
            setProgress({TransferPhase::Data, total, length});
            if (!sendWholeBlock(ctx_, socket_, blockAt(data, wire, at, block), block)) {
                const int code = ctx_.sys.network().lastError();
                platform::box(ctx_.ui(), formatted("Write error = Dec = %d, Hex = %X", code,
                                                   static_cast<unsigned>(code)));
                return false;
            }
            job_.bytesSent += block;
        }
    }

    // The block's bytes: the image's own, or for the block that holds the
    // pad byte a copy with it, so the shared bytes never change.
    const uint8_t* blockAt(const uint8_t* data, const EthernetWire& wire, uint32_t at,
                           uint32_t block) {
        if (!wire.padByte || at + block <= wire.imageBytes) return data + at;
        const uint32_t own = wire.imageBytes - at;
        std::copy(data + at, data + at + own, padded_.begin());
        padded_[own] = kEthernetPadByte;
        return padded_.data();
    }

    void setStatus(const std::string& text) { controls_.setText(Control::programStatusText, text); }
    void setState(const std::string& text) { controls_.setText(Control::programStateText, text); }
    void setProgress(const TransferProgress& progress) { controls_.setProgress(progress); }

    void countSeconds(uint32_t seconds, TransferPhase phase) {
        for (uint32_t n = 0; n < seconds; ++n) {
            setState(formatted("%d seconds elapsed", static_cast<int>(n)));
            setProgress({phase, n, seconds});
            ctx_.clock().sleepMs(1000);
        }
    }

    Context& ctx_;
    FlashJob& job_;
    platform::DialogControls& controls_;
    const platform::SocketHandle socket_;
    // Held here, so the image lives until this worker is done with it.
    const std::shared_ptr<const FirmwareImage> image_;
    std::array<uint8_t, kEthernetBlockSize> padded_{};
};

}  // namespace

EthernetWire ethernetWireFor(const FirmwareImage& image) {
    const uint32_t length = std::min<uint64_t>(image.length, image.data.size());
    if (length % 2 == 0) return {length, false};
    // No room for the pad in the length; cannot happen below the load limit.
    if (length == std::numeric_limits<uint32_t>::max()) return {length - 1, false};
    return {length, true};
}

bool flashPrinterNowEthernet(Context& ctx, platform::DialogControls& controls,
                             PrinterData& printer) {
    AppState& state = ctx.state;
    ctx.trace().write("Attempting to program flash via Ethernet");

    std::shared_ptr<const FirmwareImage> image;
    if (state.preloadedImage) {
        image = state.preloadedImage->image;
    } else {
        // Checked over the bytes that are sent, before the printer hears
        // of a flash; a preloaded image was checked when it was read.
        auto loaded = std::make_shared<FirmwareImage>();
        if (!loadFirmwareImage(ctx, *loaded) ||
            (signaturesRequired(ctx) && !checkImageBeforeFlash(ctx, *loaded))) {
            RestorePortsToOriginal(ctx.sys, state);
            return false;
        }
        image = std::move(loaded);
    }

    const auto& ip = state.ipAddressText;
    if (!openSocket(ctx.sys, state.ethernetSocket, ip[0], ip[1], ip[2], ip[3], state.portNumberText,
                    printer)) {
        noteFlashStopped(ctx, "no connection to the printer at " + ip[0] + "." + ip[1] + "." +
                                  ip[2] + "." + ip[3] + ":" + state.portNumberText);
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    ctx.trace().write("Created socket for flash programming");

    if (sameFirmwareVersion(reportedVersion(printer).value_or(""), image->versionText) &&
        !platform::askYesNo(ctx.ui(), std::string("Firmware update"),
                            "New version same as old version, continue?")) {
        noteFlashStopped(ctx, "not flashed: the printer already reports " + image->versionText);
        closeSocket(ctx.sys, state.ethernetSocket);
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }

    if (!EnterFlashModeEthernet(ctx, state.ethernetSocket, controls, printer, std::move(image))) {
        // The connection stays open, as it always has here.
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    return true;
}

bool EnterFlashModeEthernet(Context& ctx, platform::SocketHandle socket,
                            platform::DialogControls& controls, PrinterData& printer,
                            std::shared_ptr<const FirmwareImage> image) {
    if (!isPrinterReadyEthernet(ctx.sys, socket, printer)) {
        platform::box(ctx.ui(), notReadyText(printer));
        return false;
    }
    if (!enterFlashMode(ctx, controls, printer)) return false;
    if (const auto refused = askForFlashMode(ctx, socket)) {
        platform::box(ctx.ui(), std::string(*refused));
        return false;
    }
    ctx.trace().write("Entered flash reprogramming mode");
    ctx.clock().sleepMs(1000);
    ctx.trace().write("Entered flash reprogramming mode");

    FlashJob& job = ctx.state.flashJob;
    job = FlashJob{};
    job.controls = &controls;
    job.socket = socket;
    job.image = std::move(image);
    job.printer = &printer;
    ctx.state.flashInProgress.store(true);
    if (!startFlashWorker(ctx, ProgramFlashEthernet)) {
        platform::box(ctx.ui(), "Flash update thread did not start");
        ctx.state.flashInProgress.store(false);
        return false;
    }
    return true;
}

void ProgramFlashEthernet(FlashJob* job) {
    AppState& state = *job->state;
    Context ctx{state, *job->sys};
    bool completed = false;
    {
        EthernetTransfer transfer(ctx, *job);
        completed = transfer.run();
    }
    noteTransferEnded(ctx, completed);
    // The queues and the re-probe first; the flag goes last, so that no
    // other search can run while this one does.
    RestorePortsToOriginal(ctx.sys, state);
    (void)findEthernetPrinter(ctx, *job->controls, *job->printer);
    concludeFlashAttempt(ctx, *job->controls, *job->printer);
    endFlashWorker(state);
}

}  // namespace kv
