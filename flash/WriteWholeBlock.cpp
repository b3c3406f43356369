#include "flash/WriteWholeBlock.h"

#include "platform/DeviceIo.h"

namespace kv {

bool writeWholeBlock(Context& ctx, platform::DeviceHandle handle, const uint8_t* data,
                     size_t length) {
    platform::DeviceIo& io = ctx.sys.deviceIo();
    size_t done = 0;
    while (true) {
        size_t taken = 0;
        if (!io.write(handle, data + done, length - done, taken)) return false;
        done += std::min(taken, length - done);
        if (done == length) return true;
        if (taken == 0) return false;
        ctx.clock().sleepMs(kShortWritePauseMs);
    }
}

}  // namespace kv
