#pragma once
#include <cstdint>
#include <string>

#include "platform/UsbGadget.h"

namespace kv::platform::linux_impl {

struct LinuxUsbGadgetOptions {
    std::string node = "/dev/g_printer0";  // the function's character device
    std::string configfs = "/sys/kernel/config";
    std::string udcClass = "/sys/class/udc";
    std::string name = "kvprinter";  // the gadget's folder under usb_gadget/
    uint16_t vendorId = 0x4B56;
    uint16_t productId = 0x0001;
    std::string serial;
    std::string manufacturer = "KV";
    std::string product = "KV ticket printer";
    // Bulk buffers each way. One: a write is taken only when the host has
    // read everything before it, so idle() can tell, and a host that stops
    // reading meets back-pressure after one buffer.
    unsigned queueLength = 1;
};

// A USB printer made with the kernel's printer gadget function: the gadget
// is laid out in configfs (usb_gadget/NAME with functions/printer.usb0) and
// bound to the first USB device controller to plug it in; unbinding
// unplugs it. The device ID is the function's pnp_string.
//
// The function answers GET_DEVICE_ID with a length that leaves out its own
// two bytes, where IEEE 1284 counts them, so a host sees the ID short by its
// last two characters; the string is padded by two here to make up for it.
class LinuxUsbGadget final : public UsbGadget {
public:
    explicit LinuxUsbGadget(LinuxUsbGadgetOptions options);
    // Unplugs and removes the gadget it made.
    ~LinuxUsbGadget() override;
    LinuxUsbGadget(const LinuxUsbGadget&) = delete;
    LinuxUsbGadget& operator=(const LinuxUsbGadget&) = delete;

    Result<void> plug(const std::string& deviceId) override;
    void unplug() override;
    Result<size_t> read(uint8_t* buffer, size_t capacity, uint32_t waitMs) override;
    bool idle() override;
    Result<void> write(const uint8_t* data, size_t length) override;
    Result<void> setPortStatus(uint8_t bits) override;

private:
    Result<void> layOut();
    void remove();
    std::string gadgetDir() const;

    LinuxUsbGadgetOptions options_;
    bool laidOut_ = false;
    int fd_ = -1;
};

// The pnp_string that makes a host read exactly `deviceId`.
std::string gadgetPnpString(const std::string& deviceId);

}  // namespace kv::platform::linux_impl
