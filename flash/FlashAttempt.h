#pragma once
#include <string>

#include "platform/DialogControls.h"
#include "state/Context.h"
#include "state/FlashJob.h"
#include "state/PrinterData.h"

namespace kv {

// Who holds the machine awake, and why, as the sleep service shows it.
inline constexpr const char* kInhibitorWho = "kvflash";
inline constexpr const char* kInhibitorWhy = "Updating printer firmware";

// A new record's id: 16 hex digits at random (a fleet run's id too).
std::string newRecordId();

// Every press of Flash Printer NOW becomes one flash record and one verdict:
// begun when pressed, its "started" line written (and the machine kept
// awake) as the printer enters flash mode, concluded after the worker's
// ending and re-probe, or at once when no worker started. These calls run
// where the flash's own steps run: the UI thread up to the worker's start,
// the worker afterwards.

// Flash Printer NOW was pressed (no flash running): a new record, the last
// verdict cleared, every box from now on noted.
void beginFlashAttempt(Context& ctx, platform::DialogControls& controls);
// Why the flash stops before its worker, where no box says so.
void noteFlashStopped(Context& ctx, const std::string& reason);
// The printer is about to enter flash mode: the status line says "Printer
// responding", the "started" line goes on disk before any image byte, and
// the machine is kept from sleeping. Until the verdict, a request to end
// the program may be held (FlashModeGate). False, with nothing of that
// done, when the run the printer belongs to no longer admits it.
[[nodiscard]] bool enterFlashMode(Context& ctx, platform::DialogControls& controls,
                                  PrinterData& printer);
// The worker's transfer is over, the image sent whole or not.
void noteTransferEnded(Context& ctx, bool completed);
// The verdict: judged from what the probe after the flash read (or from the
// failure), shown, written to the history; the machine may sleep again, and
// flash mode is over (an end request held meanwhile is carried out here).
void concludeFlashAttempt(Context& ctx, platform::DialogControls& controls,
                          const PrinterData& printer);

}  // namespace kv
