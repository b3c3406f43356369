#include <array>
#include <string_view>

#include "flash/EthernetFlash.h"
#include "flash/FlashAttempt.h"
#include "flash/FlashEntry.h"
#include "state/FlashJob.h"
#include "flash/FlashWorker.h"
#include "flash/ImageSignature.h"
#include "flash/LoadFirmwareImage.h"
#include "flash/LocalFlash.h"
#include "flash/WriteWholeBlock.h"
#include "link/local/LocalHandles.h"
#include "platform/DeviceIo.h"
#include "platform/Format.h"
#include "platform/Trace.h"
#include "printer/discovery/Discovery.h"
#include "spooler/PortRedirection.h"
#include "status/StatusExchange.h"

namespace kv {
namespace {

using platform::Control;

constexpr std::array<uint8_t, 4> kFlashModeRequest{0x1B, 0x2A, 0x46, 0x52};   // ESC * F R
constexpr std::array<uint8_t, 4> kFlashReadyRequest{0x1B, 0x49, 0x41, 0x0F};  // ESC I A 0F
constexpr uint8_t kParallelZero = 0x00;

// One status reply after a request, with one more try 100 ms later.
bool readStatusBack(Context& ctx, platform::DeviceHandle handle, PrinterData& printer,
                    std::array<uint8_t, kStatusReplySize>& reply, uint32_t& length) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) ctx.clock().sleepMs(100);
        length = kStatusReplySize;
        if (GetPrinterStatusData(ctx.sys, handle, reply.data(), length, false, nullptr, 0,
                                 printer)) {
            return true;
        }
    }
    return false;
}

bool holdsFlashReady(const std::array<uint8_t, kStatusReplySize>& reply, uint32_t length) {
    const std::string_view received(reinterpret_cast<const char*>(reply.data()),
                                    std::min<size_t>(length, reply.size()));
    return received.find(kFlashReady) != std::string_view::npos;
}

// On USB a status the printer offered on its own can be fetched ahead
// after the stale input was dropped, with "FLASH READY" right behind it: a
// plain status without it gets one more read, whose reply is then judged.
// With nothing behind it the first reply is judged, as it was.
void readPastLateStatus(Context& ctx, platform::DeviceHandle handle, PrinterData& printer,
                        std::array<uint8_t, kStatusReplySize>& reply, uint32_t& length) {
    if (printer.portType != PORT_TYPE_USB || length == 0 || !isStatusKind(reply[0]) ||
        holdsFlashReady(reply, length)) {
        return;
    }
    ctx.trace().write("EnterFlashModeLocal - Status without FLASH READY, reading once more\r\n");
    ctx.clock().sleepMs(100);
    std::array<uint8_t, kStatusReplySize> later{};
    uint32_t laterLength = kStatusReplySize;
    if (GetPrinterStatusData(ctx.sys, handle, later.data(), laterLength, false, nullptr, 0,
                             printer)) {
        reply = later;
        length = laterLength;
    }
}

// Each request's status reply must be the next thing read: whatever the
// printer sent before it (a status it offered unasked) is dropped first.
bool writeRequest(Context& ctx, platform::DeviceHandle handle,
                  const std::array<uint8_t, 4>& request) {
    ctx.sys.deviceIo().discardStaleInput(handle);
    return writeWholeBlock(ctx, handle, request.data(), request.size());
}

bool fail(Context& ctx, const std::string& text) {
    platform::box(ctx.ui(), text);
    return false;
}

}  // namespace

void showFileDidNotOpen(Context& ctx, const std::string& reason) {
    platform::tracef(ctx.trace(), "ProgramFlash - FW file %s DID NOT open: %s\r\n",
                     platform::escapeDeviceText(ctx.state.firmwareFileName).c_str(),
                     platform::escapeDeviceText(reason).c_str());
    platform::box(ctx.ui(), "ProgramFlash", "FW file DID NOT open");
}

bool EnterFlashModeLocal(Context& ctx, platform::DeviceHandle handle,
                         platform::DialogControls& controls, PrinterData& printer,
                         std::shared_ptr<platform::ReadableFile> image,
                         std::shared_ptr<const FirmwareImage> checked) {
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t length = 0;

    if (!image && !checked) {
        showFileDidNotOpen(ctx, "no file");
        return false;
    }

    if (!isPrinterReady(ctx.sys, handle, printer)) {
        return fail(ctx, notReadyText(printer));
    }
    if (!enterFlashMode(ctx, controls, printer)) return false;

    if (!printer.isZor1Family) {
        ctx.clock().sleepMs(500);
        if (!writeRequest(ctx, handle, kFlashModeRequest)) {
            return fail(ctx, "Error 1bFR");
        }
        ctx.clock().sleepMs(100);
        if (!readStatusBack(ctx, handle, printer, reply, length)) {
            return fail(ctx, "Could not read status back");
        }
        ctx.clock().sleepMs(100);
        if (!writeRequest(ctx, handle, kFlashReadyRequest)) {
            return fail(ctx, "Error 1bIA");
        }
        ctx.clock().sleepMs(500);
        if (!readStatusBack(ctx, handle, printer, reply, length)) {
            return fail(ctx, "Could not read status back");
        }
        readPastLateStatus(ctx, handle, printer, reply, length);
        if (printer.portType == PORT_TYPE_PARALLEL &&
            !writeWholeBlock(ctx, handle, &kParallelZero, 1)) {
            return fail(ctx, "Benign write of 0 failed");
        }
        if (!holdsFlashReady(reply, length)) {
            return fail(ctx, "Failed to entered flash programming mode");
        }
    }

    FlashJob& job = ctx.state.flashJob;
    job.handle = handle;
    job.controls = &controls;
    job.image = std::move(checked);
    job.file = std::move(image);
    job.printer = &printer;
    ctx.state.flashInProgress = true;
    if (!startFlashWorker(ctx, &ProgramFlash)) {
        ctx.state.flashInProgress = false;
        job.file.reset();
        job.image.reset();
        return fail(ctx, "Flash update thread did not start");
    }
    return true;
}

namespace {

bool startFlash(Context& ctx, platform::DialogControls& controls, PrinterData& printer) {
    AppState& state = ctx.state;
    // After a quit request the program ends soon: a transfer cut off by
    // that would leave the printer half programmed.
    if (!refreshPrinterData(ctx, controls, printer)) {
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    if (state.activePortType == PORT_TYPE_ETHERNET) {
        return flashPrinterNowEthernet(ctx, controls, printer);
    }

    // The image is opened and checked before the printer hears of a flash:
    // one that cannot be read leaves the printer as it is. With signatures
    // required it is read whole and checked, and those bytes are sent, so a
    // file replaced since its selection is refused here.
    std::shared_ptr<platform::ReadableFile> file;
    std::shared_ptr<FirmwareImage> checked;
    if (signaturesRequired(ctx)) {
        checked = std::make_shared<FirmwareImage>();
        if (!loadFirmwareImage(ctx, *checked) || !checkImageBeforeFlash(ctx, *checked)) {
            RestorePortsToOriginal(ctx.sys, state);
            return false;
        }
    } else {
        auto opened = ctx.sys.fileReader().openRegular(state.firmwareFileName);
        if (!opened) {
            showFileDidNotOpen(ctx, opened.reason());
            RestorePortsToOriginal(ctx.sys, state);
            return false;
        }
        file = std::move(*opened);
    }
    if (!GetPrinterHandle(ctx, state.printerHandle, printer)) {
        platform::box(ctx.ui(), "Programming could NOT get printer handle");
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    if (!EnterFlashModeLocal(ctx, state.printerHandle, controls, printer, std::move(file),
                             std::move(checked))) {
        // Nobody else will close it.
        ctx.sys.deviceIo().close(state.printerHandle);
        RestorePortsToOriginal(ctx.sys, state);
        return false;
    }
    return true;
}

// One press of Flash Printer NOW: its record begun, `start` tried.
bool pressFlash(Context& ctx, platform::DialogControls& controls, PrinterData& printer,
                bool (*start)(Context&, platform::DialogControls&, PrinterData&)) {
    if (ctx.state.flashInProgress) return false;
    beginFlashAttempt(ctx, controls);
    if (start(ctx, controls, printer)) return true;
    // No worker: the verdict is the reason it did not start.
    concludeFlashAttempt(ctx, controls, printer);
    return false;
}

}  // namespace

bool FlashPrinterNow(Context& ctx, platform::DialogControls& controls, PrinterData& printer) {
    return pressFlash(ctx, controls, printer, startFlash);
}

bool flashFoundEthernetPrinter(Context& ctx, platform::DialogControls& controls,
                               PrinterData& printer) {
    return pressFlash(ctx, controls, printer, flashPrinterNowEthernet);
}

}  // namespace kv
