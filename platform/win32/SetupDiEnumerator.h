#pragma once
#include "platform/DeviceEnumerator.h"

namespace kv::platform::win32 {

// The present device interfaces of a class through the device installation
// services: the HID class (HidD_GetHidGuid) and the USB device interface
// class. Paths are the system's own, which the USB code parses; the class
// initial is the first letter of the device's setup class (SPDRP_CLASS).
// At most kMaxInterfaces interfaces are looked at per class.
class SetupDiEnumerator final : public DeviceEnumerator {
public:
    static constexpr unsigned kMaxInterfaces = 200;
    std::optional<std::vector<DeviceInterface>> list(InterfaceClass cls) override;
};

}  // namespace kv::platform::win32
