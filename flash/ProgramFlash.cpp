#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "image/FileBytes.h"
#include "image/FirmwareHeader.h"
#include "image/FirmwareImage.h"
#include "state/FlashJob.h"
#include "flash/FlashAttempt.h"
#include "flash/FlashWorker.h"
#include "flash/LocalFlash.h"
#include "flash/WriteWholeBlock.h"
#include "flash/TransferParameters.h"
#include "platform/DeviceIo.h"
#include "platform/Format.h"
#include "platform/Trace.h"
#include "printer/discovery/Discovery.h"
#include "spooler/PortRedirection.h"

namespace kv {
namespace {

using platform::Control;
using platform::TransferPhase;
using platform::TransferProgress;

// One reusable block buffer, as large as the largest block needs.
constexpr size_t kBlockBufferSize = 8448;

using platform::formatted;

class Transfer {
public:
    Transfer(Context& ctx, FlashJob& job)
        : ctx_(ctx),
          job_(job),
          controls_(*job.controls),
          printer_(*job.printer),
          params_(transferParametersFor(printer_)),
          file_(std::move(job.file)),
          checked_(job.image) {}

    // Everything up to the ending: true when the image went over and the
    // reset wait passed.
    bool run() {
        setStatus(formatted("Delaying %d seconds", static_cast<int>(params_.startDelaySeconds)));
        countSeconds(params_.startDelaySeconds, TransferPhase::StartDelay);

        // The file was opened and checked before the printer entered flash
        // mode (EnterFlashModeLocal takes no other). What is streamed is what the file held when it was opened: one
        // that grows meanwhile is not followed, one that shrinks is an error.
        fileLeft_ = checked_ ? checked_->data.size() : file_->size();
        // A checked image is sent from the bytes that were checked.
        if (checked_) {
            payload_ = checked_->data.data();
            remaining_ = checked_->data.size();
            inMemory_ = true;
        }
        // The size as a 32-bit count, as the printer's protocol carries it.
        const uint32_t fileSize = static_cast<uint32_t>(fileLeft_ & 0xFFFFFFFFu);
        setStatus(formatted("Programming %d KBytes", static_cast<int>(fileSize / 1024)));
        dataTotal_ = fileSize;
        setProgress({TransferPhase::Data, 0, dataTotal_});
        ctx_.clock().sleepMs(2000);

        if (params_.wholeFileFirst && !announcePayload(fileSize)) return false;
        if (!stream()) return false;

        ctx_.trace().write("Done ============================================");
        setState("End Of File");
        setProgress({TransferPhase::Data, streamed_, std::max(dataTotal_, streamed_)});
        file_.reset();
        memory_.reset();
        ctx_.clock().sleepMs(1000);

        setStatus("Waiting for reset");
        countSeconds(params_.resetWaitSeconds, TransferPhase::ResetWait);
        setStatus("Printer successfully flashed");
        setState(" ");
        setProgress({});
        return true;
    }

private:
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

    // The ZOR1 family: the whole file in memory, the payload chosen, the
    // programming command sent.
    bool announcePayload(uint32_t fileSize) {
        uint32_t payloadLength = fileSize;
        // Past the image limit there is no room either.
        if (!inMemory_ && fileSize <= kMaxFirmwareImageBytes) {
            try {
                memory_.emplace(fileSize, uint8_t{0});
            } catch (const std::bad_alloc&) {
                // No room: the blocks come from the file after all.
                memory_.reset();
            }
        }
        if (memory_) {
            if (!readFully(memory_->data(), fileSize)) return false;
            payload_ = memory_->data();
            inMemory_ = true;
        }
        if (inMemory_) {
            const uint8_t* whole = payload_;
            if (isZor1xa(printer_.boardCode)) {
                const uint8_t* behindHeader = nullptr;
                const int32_t result = CheckFirmwareHeader(whole, fileSize, &behindHeader);
                if (result == -2) return false;
                if (result >= 0) {
                    payload_ = behindHeader;
                    payloadLength = static_cast<uint32_t>(result);
                }
            }
            remaining_ = payloadLength;
            dataTotal_ = payloadLength;
            setProgress({TransferPhase::Data, 0, dataTotal_});
        }
        const auto command = FLASH_PROGRAM_COMMAND(payloadLength);
        if (!writeWholeBlock(ctx_, job_.handle, command.data(), command.size())) {
            platform::box(ctx_.ui(), "Error HW Programming Command");
            return false;
        }
        return true;
    }

    // The next block: from memory, the block size or the rest (the rest is
    // the last block, even when empty); from the file, what one read brings,
    // up to the size it had when opened. Nothing on a read error (shown).
    std::optional<size_t> nextBlock(bool& last) {
        last = false;
        if (inMemory_) {
            size_t n = params_.blockSize;
            if (remaining_ < n) {
                n = remaining_;
                last = true;
            }
            std::copy_n(payload_, n, buffer_.begin());
            payload_ += n;
            remaining_ -= n;
            return n;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(params_.blockSize, fileLeft_));
        if (want == 0) return 0;
        const auto got = file_->read(buffer_.data(), want);
        if (!got || *got == 0) {
            readFailed(got ? shrunkText() : got.reason());
            return std::nullopt;
        }
        fileLeft_ -= *got;
        return *got;
    }

    // `length` bytes of the file into `into`, or the read error shown.
    bool readFully(uint8_t* into, uint64_t length) {
        while (length > 0) {
            const auto got =
                file_->read(into, static_cast<size_t>(std::min<uint64_t>(length, 1u << 20)));
            if (!got || *got == 0) {
                readFailed(got ? shrunkText() : got.reason());
                return false;
            }
            into += *got;
            length -= *got;
            fileLeft_ -= std::min<uint64_t>(fileLeft_, *got);
        }
        return true;
    }

    std::string shrunkText() const {
        return formatted("the file ended %llu bytes short",
                         static_cast<unsigned long long>(fileLeft_));
    }

    // The file is the cause, so the box names it; the flash counts as failed.
    void readFailed(const std::string& reason) {
        const std::string& path = ctx_.state.firmwareFileName;
        platform::tracef(ctx_.trace(), "ProgramFlash - FW file read error = %s (%s)\r\n",
                         platform::escapeDeviceText(path).c_str(),
                         platform::escapeDeviceText(reason).c_str());
        platform::box(ctx_.ui(), "ProgramFlash",
                      formatted("FW file read error = %s (%s)", path.c_str(), reason.c_str()));
    }

    bool stream() {
        uint64_t total = 0;
        while (true) {
            bool last = false;
            const std::optional<size_t> block = nextBlock(last);
            // A file that cannot be read to its end is no image to report
            // as flashed.
            if (!block) return false;
            total += *block;
            streamed_ = total;
            if (*block == 0) return true;
            setState(formatted("%d KBytes programmed\r\n", static_cast<int>(total / 1024)));
            setProgress({TransferPhase::Data, total, std::max(dataTotal_, total)});
            if (!writeWholeBlock(ctx_, job_.handle, buffer_.data(), *block)) {
                const uint32_t code = ctx_.sys.deviceIo().lastError();
                platform::box(ctx_.ui(),
                              formatted("Write flash error = Dec = %d, Hex = %X",
                                        static_cast<int>(code), static_cast<unsigned>(code)));
                return false;
            }
            job_.bytesSent += *block;
            if (last) return true;
        }
    }

    Context& ctx_;
    FlashJob& job_;
    platform::DialogControls& controls_;
    PrinterData& printer_;
    const TransferParameters params_;
    std::shared_ptr<platform::ReadableFile> file_;
    // Bytes of the file not yet read, of the size it had when opened.
    uint64_t fileLeft_ = 0;
    std::array<uint8_t, kBlockBufferSize> buffer_{};
    std::optional<std::vector<uint8_t>> memory_;
    // The image checked against its signature, read before flash mode.
    const std::shared_ptr<const FirmwareImage> checked_;
    // Blocks come from payload_ (memory_ or checked_), not the file.
    bool inMemory_ = false;
    const uint8_t* payload_ = nullptr;
    size_t remaining_ = 0;
    // Bytes the data phase sends, and those sent so far.
    uint64_t dataTotal_ = 0;
    uint64_t streamed_ = 0;
};

// Handle closed, notice, queues back, re-probe, queues back, button away;
// the flag goes last so that nothing else probes while this one does.
void finish(Context& ctx, FlashJob& job) {
    ctx.sys.deviceIo().close(job.handle);
    PrinterData& printer = *job.printer;
    if (printer.portType == PORT_TYPE_USB && isLogicBdIOrII(printer.boardCode)) {
        platform::box(ctx.ui(), "update",
                      "USB printer, please power cycle printer before proceeding, older USB "
                      "adpaters need BRANDING");
    }
    RestorePortsToOriginal(ctx.sys, ctx.state);
    (void)refreshPrinterData(ctx, *job.controls, printer);
    RestorePortsToOriginal(ctx.sys, ctx.state);
    job.controls->show(Control::flashButton, false);
}

}  // namespace

void ProgramFlash(FlashJob* job) {
    Context ctx{*job->state, *job->sys};
    bool completed = false;
    {
        Transfer transfer(ctx, *job);
        completed = transfer.run();
    }
    noteTransferEnded(ctx, completed);
    finish(ctx, *job);
    concludeFlashAttempt(ctx, *job->controls, *job->printer);
    endFlashWorker(ctx.state);
}

}  // namespace kv
