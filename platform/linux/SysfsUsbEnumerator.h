#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceEnumerator.h"

namespace kv::platform::linux_impl {

// One USB printer interface bound to the kernel's usblp driver.
struct UsbPrinterNode {
    std::string interfaceName;  // sysfs name, e.g. "1-1.2:1.0"
    std::string deviceName;     // sysfs name of its device, e.g. "1-1.2"
    std::string node;           // e.g. "/dev/usb/lp0"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // as the device reports it; empty when it has none
    std::string path;    // its device path (see usbInstanceSegment)
};

// The instance segment of a device path: the serial number in lower case,
// or, when the device has none or it holds characters a path cannot carry,
// "&" and the device's sysfs name (its place on the bus). The "&" can never
// start a name, so such a device is always asked for its ID instead.
std::string usbInstanceSegment(const std::string& serial, const std::string& deviceName);

// Every USB interface under <sysRoot>/bus/usb/drivers/usblp, ordered by its
// lpN number. Nodes are named under devRoot. Nothing when sysRoot has no
// USB bus at all; empty when the usblp driver is not loaded.
std::optional<std::vector<UsbPrinterNode>> listUsblpPrinters(const std::string& sysRoot = "/sys",
                                                             const std::string& devRoot = "/dev");

// Walks sysfs rather than asking libudev: the few attributes needed
// (driver binding, usbmisc node, idVendor, idProduct, serial) are stable
// sysfs ABI, no library or udev daemon is needed, and tests can point the
// walk at a tree of plain folders.
class SysfsUsbEnumerator final : public DeviceEnumerator {
public:
    explicit SysfsUsbEnumerator(std::string sysRoot = "/sys", std::string devRoot = "/dev");

    // HID: always empty. KV printers expose only the USB printer-class
    // interface, which usblp binds; a HID interface of theirs would have no
    // /dev/usb/lpN node, so nothing could be opened through its path.
    // USB device: one entry per usblp interface, setup class initial 'U'.
    std::optional<std::vector<DeviceInterface>> list(InterfaceClass cls) override;

private:
    std::string sysRoot_;
    std::string devRoot_;
};

}  // namespace kv::platform::linux_impl
