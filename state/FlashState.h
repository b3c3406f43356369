#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "state/FlashAttempt.h"
#include "state/FlashJob.h"
#include "state/FlashModeGate.h"
#include "state/FlashPhases.h"
#include "state/PreloadedImage.h"
#include "state/TextFields.h"
#include "state/WorkerSignal.h"

namespace kv {

// What the firmware update keeps between commands.
struct FlashState {
    // Full path of the accepted image to flash; empty when there is none.
    // At most kPathSize - 1 characters.
    std::string firmwareFileName;
    // The record handed to the transfer worker; overwritten by each start.
    FlashJob flashJob;
    // Notified by each worker as its very last step.
    WorkerSignal workerSignal;
    // The flash being recorded and verified.
    FlashAttempt flashAttempt;
    // While the printer is in flash mode; holds a request to end the
    // program until it is over.
    FlashModeGate flashMode;
    // Set for a flash that sends an image read beforehand instead of the file
    // firmwareFileName names.
    std::shared_ptr<const PreloadedImage> preloadedImage;
    // The run a flash belongs to when many printers are flashed in one; its
    // records carry it. Empty for a flash of its own.
    std::string fleetId;
    // The watcher of a printer in a run of many; none for the window's own.
    FlashSteps* flashSteps = nullptr;
};

}  // namespace kv
