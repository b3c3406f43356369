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

// An odd image keeps the even length on the wire with one 0xFF byte more,
// rather than losing its last byte.
void padToEvenLength(FirmwareImage& image) {
    if (image.length % 2 == 0) return;
    if (image.length == std::numeric_limits<uint32_t>::max()) {
        --image.length;  // no room in the length; cannot happen below the load limit
        return;
    }
    image.data.resize(image.length);
    image.data.push_back(0xFF);
    ++image.length;
}

class EthernetTransfer {
public:
    EthernetTransfer(Context& ctx, FlashJob& job)
        : ctx_(ctx),
          job_(job),
          controls_(*job.controls),
          socket_(job.socket),
          image_(job.image) {}

    // True when the image went over and the reset wait passed.
    bool run() {
        setStatus("Delaying 15 seconds");
        countSeconds(kEthernetStartDelaySeconds, TransferPhase::StartDelay);
        FirmwareImage empty;
        FirmwareImage& image = image_ ? *image_ : empty;
        padToEvenLength(image);
        setStatus(formatted("Programming %d KBytes", static_cast<int>(image.length / 1024)));
        setProgress({TransferPhase::Data, 0, image.length});
        if (!stream(image)) return false;

        setState("End Of File");
        setProgress({TransferPhase::Data, image.length, image.length});
        ctx_.clock().sleepMs(1000);
        setStatus("Waiting for reset");
        countSeconds(kEthernetResetWaitSeconds, TransferPhase::ResetWait);
        setStatus("Progamming complete");
        setState(" ");
        setProgress({});
        return true;
    }

private:
    bool stream(const FirmwareImage& image) {
        const uint8_t* at = image.data.data();
        uint32_t left = image.length;
        uint32_t total = 0;
        while (true) {
            const uint32_t block = std::min(left, kEthernetBlockSize);
            left -= block;
            total += block;
            if (block == 0) return true;
            setState(formatted("%d KBytes programmed\r\n", static_cast<int>(total / 1024)));
            setProgress({TransferPhase::Data, total, image.length});
            if (!sendWholeBlock(ctx_, socket_, at, block)) {
                const int code = ctx_.sys.network().lastError();
                platform::box(ctx_.ui(), formatted("Write error = Dec = %d, Hex = %X", code,
                                                   static_cast<unsigned>(code)));
                return false;
            }
            job_.bytesSent += block;
            at += block;
        }
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
    const std::shared_ptr<FirmwareImage> image_;
};

}  // namespace

bool flashPrinterNowEthernet(Context& ctx, platform::DialogControls& controls,
                             PrinterData& printer) {
    AppState& state = ctx.state;
    ctx.trace().write("Attempting to program flash via Ethernet");

    auto image = std::make_shared<FirmwareImage>();
    if (!loadFirmwareImage(ctx, *image)) {
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }

    const auto& ip = state.ipAddressText;
    if (!openSocket(ctx.sys, state.ethernetSocket, ip[0], ip[1], ip[2], ip[3],
                    state.portNumberText, printer)) {
        noteFlashStopped(ctx, "no connection to the printer at " + ip[0] + "." + ip[1] + "." +
                                  ip[2] + "." + ip[3] + ":" + state.portNumberText);
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    ctx.trace().write("Created socket for flash programming");

    if (sameFirmwareVersion(reportedVersion(printer).value_or(""), image->versionText) &&
        !platform::askYesNo(ctx.ui(), std::string("Firmware update"),
                            "New version same as old version, continue?")) {
        noteFlashStopped(ctx, "not flashed: the printer already reports " +
                                  image->versionText);
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
                            std::shared_ptr<FirmwareImage> image) {
    if (!isPrinterReadyEthernet(ctx.sys, socket, printer)) {
        platform::box(ctx.ui(), notReadyText(printer));
        return false;
    }
    enterFlashMode(ctx, controls, printer);
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
