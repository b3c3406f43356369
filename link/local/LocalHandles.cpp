#include "link/local/LocalHandles.h"

#include <array>
#include <string>
#include <vector>

#include "link/Usb.h"
#include "link/UsbConfig.h"
#include "platform/DeviceIo.h"
#include "status/StatusExchange.h"

namespace kv {
namespace {

constexpr const char* kCrLf = "\r\n";

void lineAndBreak(platform::Services& sys, const std::string& text) {
    sys.trace().write(text);
    sys.trace().write(kCrLf);
}

const char* parallelPortName(int portNumber) {
    switch (portNumber) {
        case 2: return kParallelPortNames[1];
        case 3: return kParallelPortNames[2];
        default: return kParallelPortNames[0];
    }
}

}  // namespace

bool IsPrinterPARALLEL(platform::Services& sys, platform::DeviceHandle& handle, int portNumber,
                       PrinterData& printer) {
    platform::DeviceIo& dev = sys.deviceIo();
    platform::Trace& t = sys.trace();
    const std::string port = parallelPortName(portNumber);

    lineAndBreak(sys, "IsPrinterPARALLEL - Entry");
    lineAndBreak(sys, "IsPrinterPARALLEL - Preparing for " + port);

    t.write("IsPrinterPARALLEL - Before CreateFile");
    const platform::DeviceHandle probe = dev.open(port, platform::ShareMode::Exclusive);
    t.write("IsPrinterPARALLEL - After CreateFile");
    if (!probe.valid()) {
        t.write("IsPrinterPARALLEL - After CreateFile INVALID_HANDLE_VALUE");
        handle = platform::DeviceHandle::invalid();
        return false;
    }
    lineAndBreak(sys, "IsPrinterPARALLEL - After CreateFile found valid handle");

    std::array<uint8_t, kStatusReplySize> status{};
    uint32_t length = kStatusReplySize;
    if (!GetPrinterStatusData(sys, probe, status.data(), length, false, nullptr, 0, printer)) {
        dev.close(probe);
        handle = platform::DeviceHandle::invalid();
        return false;
    }
    lineAndBreak(sys, "IsPrinterPARALLEL - After status read - GOOD GetPrinterStatusData");

    if (length < kParallelMinStatusBytes) {
        // Whether the printer takes the byte does not matter.
        const uint8_t zero = 0;
        size_t taken = 0;
        (void)dev.write(probe, &zero, 1, taken);
        dev.close(probe);
        handle = platform::DeviceHandle::invalid();
        return false;
    }
    dev.close(probe);
    const platform::DeviceHandle shared = dev.open(port, platform::ShareMode::Shared);
    sys.clock().sleepMs(kParallelReopenPauseMs);
    // A port lost between the probe and the reopen has no printer for us:
    // an invalid handle must not pass for a found printer.
    handle = shared;
    return shared.valid();
}

bool findPrinterPARALLEL(Context& ctx, platform::DeviceHandle& handle, PrinterData& printer) {
    platform::Services& sys = ctx.sys;
    ctx.trace().write("findPrinterPARALLEL - Entry");

    bool found = false;
    for (int portNumber = 1; portNumber <= 3 && !found; ++portNumber) {
        ctx.state.activePortType = PORT_TYPE_PARALLEL;
        found = IsPrinterPARALLEL(sys, handle, portNumber, printer);
        if (found) ctx.state.localDevicePath = parallelPortName(portNumber);
    }
    if (!found) {
        handle = platform::DeviceHandle::invalid();
        return false;
    }

    platform::DeviceIo& dev = sys.deviceIo();
    platform::CommTimeouts cto;
    if (!dev.getCommTimeouts(handle, cto)) {
        platform::box(ctx.ui(), "Parallel GetCommTimeouts failed");
        return true;
    }
    platform::tracef(ctx.trace(), "Parallel CTO = rit %d rttc %d rttm %d wttc %d wttm %d",
                     static_cast<int>(cto.readIntervalTimeout),
                     static_cast<int>(cto.readTotalTimeoutConstant),
                     static_cast<int>(cto.readTotalTimeoutMultiplier),
                     static_cast<int>(cto.writeTotalTimeoutConstant),
                     static_cast<int>(cto.writeTotalTimeoutMultiplier));
    if (cto.writeTotalTimeoutConstant < kParallelMinWriteTimeoutMs) {
        cto.writeTotalTimeoutConstant = kParallelMinWriteTimeoutMs;
        if (!dev.setCommTimeouts(handle, cto)) {
            platform::box(ctx.ui(), "Parallel SetCommTimeouts failed");
        }
    }
    return true;
}

bool GetPrinterHandle(Context& ctx, platform::DeviceHandle& handle, PrinterData& printer) {
    platform::Services& sys = ctx.sys;
    platform::Trace& t = ctx.trace();
    t.write("GetPrinterHandle - Entry");
    t.write("GetPrinterHandle - Before trying USB printer");

    std::vector<std::string> paths;
    paths.reserve(kUsbPathSlots);
    (void)EnumerateUSBDevicePaths(sys, kKvUsbVendorTable.data(),
                                  static_cast<uint8_t>(kKvUsbVendorTable.size()), &paths,
                                  kUsbPathSlots, false);
    for (const std::string& path : paths) {
        std::string name;
        (void)GetPrinterPNPString(sys, path.c_str(), kKvUsbVendorId, name, kPrinterNameLength,
                                  kKvDefaultPrinterName);
        if (name.empty()) continue;
        const platform::DeviceHandle opened =
            sys.deviceIo().open(path, platform::ShareMode::Shared);
        if (!opened.valid()) continue;
        handle = opened;
        ctx.state.localDevicePath = path;
        ctx.state.activePortType = PORT_TYPE_USB;
        printer.portType = PORT_TYPE_USB;
        t.write("GetPrinterHandle - USB printer found");
        return true;
    }

    ctx.state.parallelPortName.clear();
    ctx.state.localDevicePath.clear();
    t.write("GetPrinterHandle - USB printer NOT found");
    t.write("GetPrinterHandle - Before trying parallel printer");
    if (findPrinterPARALLEL(ctx, handle, printer)) {
        printer.portType = PORT_TYPE_PARALLEL;
        t.write("GetPrinterHandle - parallel printer found");
        return true;
    }
    t.write("GetPrinterHandle - parallel printer NOT found");
    printer.portType = PORT_TYPE_NONE;
    handle = platform::DeviceHandle::invalid();
    return false;
}

}  // namespace kv
