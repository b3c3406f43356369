#include "platform/win32/SetupDiEnumerator.h"

#include <windows.h>
#include <initguid.h>
// MinGW's hidsdi.h declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>
#include <usbiodef.h>

#include <cstddef>
#include <memory>

namespace kv::platform::win32 {

namespace {

struct DeviceSet {
    HDEVINFO set;
    explicit DeviceSet(HDEVINFO s) : set(s) {}
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    ~DeviceSet() {
        if (set != INVALID_HANDLE_VALUE) ::SetupDiDestroyDeviceInfoList(set);
    }
};

DeviceInterface describe(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface) {
    DeviceInterface out;
    DWORD needed = 0;
    ::SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return out;
    // Zero-filled, and at least as large as the structure itself.
    auto block = std::make_unique<unsigned char[]>(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!::SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, needed, nullptr, &device)) {
        return out;
    }
    // The path is NUL-terminated inside the block the system sized.
    const char* path = detail->DevicePath;
    const size_t room = needed - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    size_t length = 0;
    while (length < room && path[length] != '\0') ++length;
    out.path = std::string(path, length);

    char className[1024] = {};
    if (::SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_CLASS, nullptr,
                                            reinterpret_cast<BYTE*>(className),
                                            sizeof className - 1, nullptr)) {
        out.classInitial = className[0];
    }
    return out;
}

}  // namespace

std::optional<std::vector<DeviceInterface>> SetupDiEnumerator::list(InterfaceClass cls) {
    GUID guid = GUID_DEVINTERFACE_USB_DEVICE;
    if (cls == InterfaceClass::Hid) ::HidD_GetHidGuid(&guid);
    DeviceSet devices(
        ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (devices.set == INVALID_HANDLE_VALUE) return std::nullopt;

    std::vector<DeviceInterface> found;
    for (DWORD index = 0; index < kMaxInterfaces; ++index) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!::SetupDiEnumDeviceInterfaces(devices.set, nullptr, &guid, index, &iface)) break;
        found.push_back(describe(devices.set, iface));
    }
    return found;
}

}  // namespace kv::platform::win32
