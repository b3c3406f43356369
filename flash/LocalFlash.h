#pragma once
#include <memory>
#include <string>

#include "state/Context.h"
#include "platform/DeviceHandle.h"
#include "platform/DialogControls.h"
#include "platform/FileReader.h"
#include "state/PrinterData.h"

namespace kv {

struct FirmwareImage;
struct FlashJob;

// "Flash Printer NOW": re-probes the printer, then flashes it over
// Ethernet when that is the active link, otherwise over its local port.
// True when a transfer worker was started; the worker's ending then puts
// the print queues back. False when nothing was started (the queues are
// back already).
[[nodiscard]] bool FlashPrinterNow(Context& ctx, platform::DialogControls& controls,
                                   PrinterData& printer);
// The same for a printer Find Ethernet Printer has just found, as a fleet
// run flashes each one: the record and verdict of FlashPrinterNow without
// its re-probe (no local port counted, no print queue switched).
[[nodiscard]] bool flashFoundEthernetPrinter(Context& ctx, platform::DialogControls& controls,
                                             PrinterData& printer);

// Puts the printer on `handle` into flash-programming mode (the ZOR1
// family needs no request) and starts ProgramFlash, which streams `image`,
// the opened firmware file, or sends `checked`, the image read whole and
// checked against its signature. True when the worker runs and owns the
// handle and the file; false after a failure, which was shown.
[[nodiscard]] bool EnterFlashModeLocal(Context& ctx, platform::DeviceHandle handle,
                                       platform::DialogControls& controls, PrinterData& printer,
                                       std::shared_ptr<platform::ReadableFile> image,
                                       std::shared_ptr<const FirmwareImage> checked = nullptr);

// The box of a firmware file that cannot be opened, or is no regular file.
void showFileDidNotOpen(Context& ctx, const std::string& reason);

// The local transfer worker: start delay, the image in blocks, the reset
// wait, then the ending (handle closed, queues back, re-probe).
void ProgramFlash(FlashJob* job);

}  // namespace kv
