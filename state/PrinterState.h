#pragma once
#include <string>

#include "platform/DeviceHandle.h"
#include "state/PrinterData.h"

namespace kv {

inline constexpr size_t kParallelPortNameSize = 100;

// What travels with the printer record.
struct PrinterState {
    PrinterData printerData;
    // Scratch record for probing the parallel ports; never cleared.
    PrinterData probeData;
    PortType activePortType = PORT_TYPE_USB;
    std::string parallelPortName;
    int32_t printerCount = 0;
    platform::DeviceHandle printerHandle;
};

}  // namespace kv
