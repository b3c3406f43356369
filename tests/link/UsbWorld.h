#pragma once
#include <memory>
#include <string>

#include "emulator/PrinterModel.h"
#include "link/UsbConfig.h"
#include "platform/DeviceEnumerator.h"
#include "tests/support/SimWorld.h"

namespace kv::testing {

// A simulated machine with USB and parallel printers, and the services the
// link code takes.
struct UsbWorld : SimWorld {};

inline std::shared_ptr<emulator::PrinterModel> usbModel(
    std::string deviceId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;") {
    emulator::PrinterConfig config;
    config.link = emulator::LinkKind::Usb;
    config.deviceId = std::move(deviceId);
    return std::make_shared<emulator::PrinterModel>(config);
}

inline std::shared_ptr<emulator::PrinterModel> parallelModel() {
    emulator::PrinterConfig config;
    config.link = emulator::LinkKind::Parallel;
    return std::make_shared<emulator::PrinterModel>(config);
}

// A USB device path with the serial segment exactly as given (no case
// change), for segments the system could report.
inline std::string rawUsbPath(const std::string& vidPid, const std::string& serial) {
    return "\\\\?\\usb#" + vidPid + "#" + serial + "#" +
           std::string(platform::kUsbDeviceInterfaceGuid);
}

}  // namespace kv::testing
