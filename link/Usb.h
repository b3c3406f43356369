#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DeviceHandle.h"
#include "platform/Services.h"
#include "state/PrinterData.h"

namespace kv {

// Room callers give the path list (one more slot is cleared, as an end).
inline constexpr uint8_t kUsbPathSlots = 30;
// Interfaces examined per interface class, at most.
inline constexpr size_t kMaxInterfacesPerClass = 200;
// Printer names: the callers' buffer length and the kept default name.
inline constexpr uint32_t kPrinterNameLength = 150;
inline constexpr uint32_t kDeviceIdQueryPauseMs = 250;

// Appends to `paths` the device paths of present HID interfaces, then USB
// device interfaces, whose path holds "vid_%04x&pid_" of a vendor of the
// table (each entry used as a 16-bit vendor number), at most maxPaths of
// them. USB device interfaces count only with setup class initial 'U',
// unless anyClass. False only when `paths` is null.
[[nodiscard]] bool EnumerateUSBDevicePaths(platform::Services& sys, const uint32_t* vendorIds,
                                           uint8_t vendorCount, std::vector<std::string>* paths,
                                           uint8_t maxPaths, bool anyClass);

// The printer name of one device path: decoded from the path's serial
// segment (hexadecimal, or plain for the ZOR1 family) without touching the
// device, else the "MDL:" value of the device's own ID, else the default
// name (null: none). `out` holds at most outLen characters. True when a
// name was found.
[[nodiscard]] bool GetPrinterPNPString(platform::Services& sys, const char* devicePath,
                                       uint32_t vendorId, std::string& out, uint32_t outLen,
                                       const char* defaultName);

// Reads the device ID of an open printer into printer.deviceId (at most
// 1023 characters). A failure shows its own box and leaves deviceId.
[[nodiscard]] bool GetPrinterID(platform::Services& sys, platform::DeviceHandle handle,
                                PrinterData& printer);

}  // namespace kv
