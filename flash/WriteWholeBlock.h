#pragma once
#include <cstddef>
#include <cstdint>

#include "state/Context.h"
#include "platform/DeviceHandle.h"

namespace kv {

// Pause before writing what a short write left over.
inline constexpr uint32_t kShortWritePauseMs = 100;

// Writes all `length` bytes to a local printer: after a short write it
// pauses and writes the rest, until everything is taken or a write fails.
// A write that takes nothing at all counts as failed (the printer stalls).
// On false the device's last error code tells why.
[[nodiscard]] bool writeWholeBlock(Context& ctx, platform::DeviceHandle handle, const uint8_t* data,
                                   size_t length);

}  // namespace kv
