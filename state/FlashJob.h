#pragma once
#include <memory>

#include "platform/DeviceHandle.h"
#include "platform/DialogControls.h"
#include "platform/FileReader.h"
#include "platform/Network.h"
#include "state/PrinterData.h"

namespace kv {

struct AppState;
struct FirmwareImage;

namespace platform {
struct Services;
}

// The argument record of a transfer worker. The UI thread fills it before
// the worker starts and leaves it alone while flashInProgress is set; the
// worker stops reading it before it clears that flag.
struct FlashJob {
    // The open local printer handle; the local worker closes it.
    platform::DeviceHandle handle;
    // The Ethernet connection of an Ethernet flash.
    platform::SocketHandle socket;
    platform::DialogControls* controls = nullptr;
    // The image of an Ethernet flash. Shared, so it lives as long as the
    // worker that sends it, whatever happens to the job record meanwhile.
    // Never changed: an odd length is mended on the wire (see the worker).
    std::shared_ptr<const FirmwareImage> image;
    // The image file of a local flash, opened and checked before the printer
    // entered flash mode; the local worker streams from it.
    std::shared_ptr<platform::ReadableFile> file;
    PrinterData* printer = nullptr;
    // Image bytes the printer has taken so far; the worker counts them.
    uint64_t bytesSent = 0;
    // What the worker reaches the rest of the application through; both
    // outlive every worker (the front end waits for the worker before it
    // tears them down).
    AppState* state = nullptr;
    platform::Services* sys = nullptr;
};

}  // namespace kv
