// The emulator's request parser: any bytes from a host, in any pieces, with
// reads between, on each link and family.
#include <algorithm>

#include "emulator/PrinterModel.h"
#include "fuzz/FuzzWorld.h"
#include "platform/sim/VirtualClock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kv;
    if (size < 2) return 0;
    emulator::PrinterConfig config;
    config.link = static_cast<emulator::LinkKind>(data[0] % 3);
    config.zor1Family = data[0] & 4;
    config.replySplit = data[0] >> 5;
    config.keepBytes = 4096;
    platform::sim::VirtualClock clock;
    emulator::PrinterModel model(config, &clock);
    const size_t piece = 1 + data[1] % 16;
    for (size_t at = 2; at < size; at += piece) {
        const size_t n = std::min(piece, size - at);
        fuzz::require(model.write(data + at, n) <= n);
        if (data[at] & 1) (void)model.read(1 + data[at] % 64);
        if (data[at] == 0xFF) clock.advanceMs(2000);
        if (data[at] == 0xFE) (void)model.queryDeviceId();
        if (data[at] == 0xFD) model.linkReset();
    }
    fuzz::require(model.received().size() <= config.keepBytes);
    fuzz::require(model.requestLog().size() <= emulator::kMaxRequestLogLines);
    (void)model.flashSummary();
    return 0;
}
