#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "state/BoxLog.h"
#include "state/BoxTap.h"
#include "state/FlashRecord.h"
#include "state/PrinterState.h"

namespace kv {

// The flash being recorded, from the press of Flash Printer NOW to its
// verdict. The UI thread fills it up to the worker's start; the worker
// then owns it until its ending, like the flash job.
struct FlashAttempt {
    bool open = false;
    // The started line was written and the machine is kept awake.
    bool flashModeEntered = false;
    bool sleepHeld = false;
    FlashRecord record;
    uint64_t startTick = 0;
    // What the printer reported just before flash mode.
    ProbeReading before;
    // Boxes shown before the worker started: its failure is told by the
    // boxes after those.
    size_t boxesBeforeWorker = 0;
    // Why it stopped when no box says so.
    std::optional<std::string> stopReason;
    // The worker's transfer: whether the image went over, and the failure's
    // message when it did not.
    std::optional<bool> transferCompleted;
    std::optional<std::string> transferFailure;
    BoxLog boxes;
    // Shows every box and notes it in `boxes` while a flash is recorded;
    // the services' ui from the front end's wiring on.
    BoxTap boxTap{boxes};
};

}  // namespace kv
