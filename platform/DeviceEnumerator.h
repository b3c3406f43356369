#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::platform {

// The device-interface classes the USB search walks, in its order.
enum class InterfaceClass {
    Hid,        // HID interfaces
    UsbDevice,  // USB device interfaces
};

// Interface class GUIDs as they end a device path, lower case.
inline constexpr std::string_view kHidInterfaceGuid = "{4d1e55b2-f16f-11cf-88cb-001111000030}";
inline constexpr std::string_view kUsbDeviceInterfaceGuid =
    "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

// One present device interface.
struct DeviceInterface {
    // Nothing when the interface's detail (its path) cannot be fetched.
    std::optional<std::string> path;
    // First letter of the device's setup class name ('U' for "USB", 'H' for
    // "HIDClass"); nothing when the name cannot be read.
    std::optional<char> classInitial;
    friend bool operator==(const DeviceInterface&, const DeviceInterface&) = default;
};

// Lists the device interfaces that are present now.
class DeviceEnumerator {
public:
    virtual ~DeviceEnumerator() = default;
    // The present interfaces of one class, in the system's enumeration order.
    // Nothing when the class cannot be listed at all.
    virtual std::optional<std::vector<DeviceInterface>> list(InterfaceClass cls) = 0;
};

// The parts of a USB device path "\\?\usb#vid_xxxx&pid_xxxx#<instance>#{class}".
struct UsbPathParts {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // The device's serial-number segment (or a generated instance text).
    std::string instance;
    friend bool operator==(const UsbPathParts&, const UsbPathParts&) = default;
};

// The USB device interface path of a device, all lower case, as the USB
// code parses it. The instance must hold no '#'.
std::string makeUsbDevicePath(uint16_t vendorId, uint16_t productId, std::string_view instance);

// The inverse of makeUsbDevicePath, ignoring case; nothing for any other
// shape (HID paths included).
std::optional<UsbPathParts> parseUsbDevicePath(std::string_view path);

}  // namespace kv::platform
