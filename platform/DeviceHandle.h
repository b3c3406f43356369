#pragma once
#include <cstdint>

namespace kv::platform {

// An open local device (USB printer node or parallel port). A small value
// with an explicit invalid state.
struct DeviceHandle {
    int64_t value = -1;
    bool valid() const { return value >= 0; }
    static constexpr DeviceHandle invalid() { return DeviceHandle{}; }
    friend bool operator==(DeviceHandle, DeviceHandle) = default;
};

}  // namespace kv::platform
