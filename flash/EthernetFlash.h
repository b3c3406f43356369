#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "state/Context.h"
#include "image/FirmwareImage.h"
#include "state/FlashJob.h"
#include "platform/DialogControls.h"
#include "platform/Network.h"
#include "state/PrinterData.h"

namespace kv {

// Fixed for every printer over Ethernet.
inline constexpr uint32_t kEthernetStartDelaySeconds = 15;
inline constexpr uint32_t kEthernetBlockSize = 8192;
inline constexpr uint32_t kEthernetResetWaitSeconds = 25;
inline constexpr uint32_t kFlashReplySize = 1024;
// What a printer answers once it is in flash mode, over either link.
inline constexpr std::string_view kFlashReady = "FLASH READY";

// What goes on the wire for an image: its bytes, and for an odd length one
// pad byte more (the printer takes an even length and would drop the last
// byte). The image itself is never changed: many transfers may share it.
inline constexpr uint8_t kEthernetPadByte = 0xFF;
struct EthernetWire {
    uint32_t imageBytes = 0;
    bool padByte = false;
    uint32_t total() const { return imageBytes + (padByte ? 1 : 0); }
};
EthernetWire ethernetWireFor(const FirmwareImage& image);

// The Ethernet branch of FlashPrinterNow, run after its own first steps
// (no flash running, the printer re-probed, the active link Ethernet) on the
// UI thread: loads the image named by firmwareFileName (or takes the
// preloaded one), opens a fresh
// connection into ethernetSocket, asks before flashing the version the
// printer already has, and enters flash mode. True when the worker was
// started (it then owns the connection and puts the queues back); false
// when nothing was started, with the queues back already.
[[nodiscard]] bool flashPrinterNowEthernet(Context& ctx, platform::DialogControls& controls,
                                           PrinterData& printer);

// Puts the printer on `socket` into flash mode (ESC "*FR", "<SA15>",
// "FLASH READY") and starts ProgramFlashEthernet with `image`. True when
// the worker runs; false after a failure, which has been shown.
[[nodiscard]] bool EnterFlashModeEthernet(Context& ctx, platform::SocketHandle socket,
                                          platform::DialogControls& controls, PrinterData& printer,
                                          std::shared_ptr<const FirmwareImage> image);

// The Ethernet transfer worker: start delay, the image in 8192-byte blocks,
// the reset wait, then the ending (queues back, the printer found again,
// flashInProgress cleared, waiters told).
void ProgramFlashEthernet(FlashJob* job);

}  // namespace kv
