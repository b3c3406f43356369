#pragma once
#include <array>
#include <optional>
#include <string>

#include "platform/DeviceHandle.h"
#include "state/PrinterData.h"

namespace kv {

inline constexpr size_t kParallelPortNameSize = 100;

// What the latest identification of the printer (Find Printer, Find
// Ethernet Printer, the probes around a flash) came to.
struct ProbeReading {
    // The printer answered with its device ID.
    bool identified = false;
    // The firmware version it reported: its ID's "FWV:" value, else the
    // status reply's version text; nothing when the link reports neither.
    std::optional<std::string> version;
    // Over Ethernet: the status reply's two status bytes (3 and 4), when
    // the ready check got a reply.
    std::optional<std::array<uint8_t, 2>> statusBytes;
};

// What travels with the printer record.
struct PrinterState {
    PrinterData printerData;
    // Scratch record for probing the parallel ports; never cleared.
    PrinterData probeData;
    PortType activePortType = PORT_TYPE_USB;
    std::string parallelPortName;
    int32_t printerCount = 0;
    platform::DeviceHandle printerHandle;
    // The device path (USB) or port name (LPT1: ..) GetPrinterHandle opened
    // last; empty when it found none.
    std::string localDevicePath;
    ProbeReading lastProbe;
};

}  // namespace kv
