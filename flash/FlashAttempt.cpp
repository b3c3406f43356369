#include "flash/FlashAttempt.h"

#include <random>

#include "flash/FlashHistory.h"
#include "flash/ImageSignature.h"
#include "flash/Verification.h"
#include "image/ImageSummary.h"
#include "kvflash/Version.h"
#include "platform/DeviceEnumerator.h"
#include "platform/Format.h"
#include "platform/HistoryFile.h"
#include "platform/SleepInhibitor.h"
#include "platform/Trace.h"
#include "printer/Identity.h"

namespace kv {

std::string newRecordId() {
    std::random_device random;
    const uint64_t value = (uint64_t{random()} << 32) ^ uint64_t { random() };
    return platform::formatted("%016llx", static_cast<unsigned long long>(value));
}

namespace {

void describePrinter(const Context& ctx, const PrinterData& printer, FlashRecord& record) {
    const AppState& s = ctx.state;
    record.model = printer.typeName;
    record.serial.clear();
    switch (s.activePortType) {
        case PORT_TYPE_ETHERNET: {
            const auto& ip = s.ipAddressText;
            record.link = "ETHERNET";
            record.address =
                ip[0] + "." + ip[1] + "." + ip[2] + "." + ip[3] + ":" + s.portNumberText;
            record.logicBoard = logicBoardTextEthernet(printer.boardCode);
            return;
        }
        case PORT_TYPE_PARALLEL: {
            std::string port = s.localDevicePath;
            if (!port.empty() && port.back() == ':') port.pop_back();
            record.link = port.empty() ? "PARALLEL" : port;
            record.address = port;
            break;
        }
        default:
            record.link = "USB";
            record.address = s.localDevicePath;
            if (const auto usb = platform::parseUsbDevicePath(s.localDevicePath)) {
                record.serial = usb->instance;
            }
            break;
    }
    record.logicBoard = logicBoardTextLocal(printer.boardCode).value_or("");
}

void appendLine(Context& ctx, const std::string& line, const char* what) {
    if (const auto written = ctx.sys.history().append(line); !written) {
        platform::tracef(ctx.trace(), "Flash history - the %s record was not written: %s", what,
                         platform::escapeDeviceText(written.reason()).c_str());
    }
}

// What stopped a flash that never reached its worker.
std::string stopDetail(const FlashAttempt& a) {
    if (a.stopReason) return *a.stopReason;
    const std::vector<std::string> boxes = a.boxes.texts();
    if (!boxes.empty()) return boxes.back();
    return "the flash did not start";
}

}  // namespace

void beginFlashAttempt(Context& ctx, platform::DialogControls& controls) {
    FlashAttempt& a = ctx.state.flashAttempt;
    a.open = true;
    a.flashModeEntered = false;
    a.sleepHeld = false;
    a.before = ProbeReading{};
    a.boxesBeforeWorker = 0;
    a.stopReason.reset();
    a.transferCompleted.reset();
    a.transferFailure.reset();
    a.boxes.start();
    a.startTick = ctx.clock().tickMs();

    FlashRecord& r = a.record;
    r = FlashRecord{};
    r.id = newRecordId();
    r.startMs = ctx.clock().wallMs();
    r.program = kVersionText;
    r.fleet = ctx.state.fleetId;
    r.imagePath = ctx.state.firmwareFileName;
    if (const auto& preloaded = ctx.state.preloadedImage) {
        // Its facts were taken when it was read; the file is not read again.
        r.imagePath = preloaded->path;
        r.imageSize = preloaded->facts.size;
        r.imageSha256 = preloaded->facts.sha256;
        r.imageVersion = preloaded->facts.version;
        const platform::SignatureFacts& signature = preloaded->facts.signature;
        if (signature.good) r.signatureKey = signature.keyId;
    } else if (!r.imagePath.empty()) {
        const ImageSummary image = summarizeImageFile(ctx.sys.fileReader(), r.imagePath);
        if (image.readable) {
            r.imageSize = image.size;
            r.imageSha256 = image.sha256;
            r.imageVersion = image.version;
            // With checking on, the check before flash mode sets it again
            // from the bytes that are sent.
            const platform::SignatureFacts signature = signatureFactsFor(
                ctx.sys.trustedKeys(), ctx.sys.fileReader(), r.imagePath, image.blake2b);
            if (signature.good) r.signatureKey = signature.keyId;
        }
    }
    ctx.state.flashJob.bytesSent = 0;
    controls.setVerification(std::nullopt);
}

void noteFlashStopped(Context& ctx, const std::string& reason) {
    FlashAttempt& a = ctx.state.flashAttempt;
    if (a.open && !a.stopReason) a.stopReason = reason;
}

bool enterFlashMode(Context& ctx, platform::DialogControls& controls, PrinterData& printer) {
    FlashAttempt& a = ctx.state.flashAttempt;
    if (FlashSteps* steps = ctx.state.flashSteps; steps && !steps->admitFlashMode()) {
        noteFlashStopped(ctx, "not started");
        return false;
    }
    // Entered before anyone hears of it: whoever reacts finds the printer in
    // flash mode.
    ctx.state.flashMode.enter();
    if (FlashSteps* steps = ctx.state.flashSteps) steps->began(FlashStep::FlashMode);
    controls.setText(platform::Control::programStatusText, "Printer responding");
    // A flash started below Flash Printer NOW (the Ethernet branch alone).
    if (!a.open) beginFlashAttempt(ctx, ctx.controls());
    a.flashModeEntered = true;
    a.before = ctx.state.lastProbe;
    a.boxesBeforeWorker = a.boxes.size();
    describePrinter(ctx, printer, a.record);
    a.record.firmwareBefore = a.before.version.value_or("");
    ctx.state.flashJob.bytesSent = 0;

    appendLine(ctx, startedLine(a.record), "started");
    const auto held = ctx.sys.sleepInhibitor().acquire(kInhibitorWho, kInhibitorWhy);
    a.sleepHeld = held.ok();
    if (a.sleepHeld) {
        ctx.trace().write("Sleep inhibitor - the machine stays awake until the flash has ended");
    } else {
        platform::tracef(ctx.trace(), "Sleep inhibitor - none held: %s",
                         platform::escapeDeviceText(held.reason()).c_str());
    }
    return true;
}

void noteTransferEnded(Context& ctx, bool completed) {
    FlashAttempt& a = ctx.state.flashAttempt;
    a.transferCompleted = completed;
    if (completed) return;
    const std::vector<std::string> boxes = a.boxes.texts();
    if (boxes.size() > a.boxesBeforeWorker) a.transferFailure = boxes.back();
}

void concludeFlashAttempt(Context& ctx, platform::DialogControls& controls,
                          const PrinterData& printer) {
    FlashAttempt& a = ctx.state.flashAttempt;
    if (!a.open) return;
    const ProbeReading& after = ctx.state.lastProbe;
    const bool workerRan = a.transferCompleted.has_value();

    FlashFacts facts;
    if (!workerRan) {
        facts.failure = stopDetail(a);
    } else if (!*a.transferCompleted) {
        facts.failure = a.transferFailure.value_or("the transfer did not complete");
    }
    facts.bytesSent = workerRan ? ctx.state.flashJob.bytesSent : 0;
    facts.cameBack = after.identified;
    facts.before = a.flashModeEntered ? a.before.version : after.version;
    facts.after = after.version;
    facts.imageVersion = a.record.imageVersion;
    const platform::Verification verdict = verifyFlash(facts);

    FlashRecord& r = a.record;
    if (!a.flashModeEntered) {
        describePrinter(ctx, printer, r);
        r.firmwareBefore = facts.before.value_or("");
    } else {
        r.firmwareAfter = after.identified ? after.version.value_or("") : "";
    }
    r.endMs = ctx.clock().wallMs();
    r.durationMs = ctx.clock().tickMs() - a.startTick;
    r.bytesSent = facts.bytesSent;
    r.outcome = verdict.outcome;
    r.detail = verdict.detail;
    r.boxes = a.boxes.texts();
    // Its run stopped it before flash mode: the printer heard nothing of a
    // flash.
    const FlashSteps* steps = ctx.state.flashSteps;
    if (a.flashModeEntered || !steps || !steps->runStopped()) {
        appendLine(ctx, endedLine(r), "ended");
    }

    if (a.sleepHeld) {
        ctx.sys.sleepInhibitor().release();
        a.sleepHeld = false;
        ctx.trace().write("Sleep inhibitor - released");
    }
    a.boxes.stop();
    a.open = false;
    platform::tracef(ctx.trace(), "Flash verification - %s: %s",
                     std::string(platform::verifyOutcomeName(verdict.outcome)).c_str(),
                     platform::escapeDeviceText(r.detail).c_str());
    controls.setVerification(verdict);
    if (a.flashModeEntered) ctx.state.flashMode.leave();
}

}  // namespace kv
