#include "link/Usb.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "link/UsbConfig.h"
#include "platform/Ascii.h"
#include "platform/DeviceEnumerator.h"
#include "platform/DeviceIo.h"
#include "platform/Format.h"

namespace kv {
namespace {

// "vid_%04x&pid_" of a vendor number.
std::string vendorPattern(uint32_t vendorId) {
    return platform::formatted("vid_%04x&pid_", static_cast<unsigned>(vendorId & 0xFFFF));
}

using platform::isAsciiDigit;

bool isAlnum(char c) { return isAsciiDigit(c) || platform::isAsciiLetter(c); }

int hexValue(char c) {
    if (isAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Device replies are text up to their first NUL.
std::string_view replyText(const uint8_t* bytes, size_t count) {
    std::string_view text(reinterpret_cast<const char*>(bytes), count);
    return text.substr(0, text.find('\0'));
}

// The printer name a serial segment carries; nothing when it carries none,
// so the device must be asked.
std::optional<std::string> decodeSerial(std::string_view segment, uint32_t outLen) {
    const bool zor1 = segment.starts_with("zor1");
    segment = segment.substr(0, outLen);
    std::string name;
    if (zor1) {
        for (char c : segment) {
            if (isAlnum(c)) {
                name += c;
            } else if (c != '-') {
                return std::nullopt;
            }
        }
        return name.empty() ? std::nullopt : std::optional(name);
    }
    int high = -1;  // first digit of a pair still waiting for its second
    for (char c : segment) {
        if (c == '-') {
            if (high >= 0) return std::nullopt;
            continue;
        }
        if (!isAlnum(c)) return std::nullopt;
        // A letter past 'f' is no hexadecimal digit, and a pair 00 would end
        // the name inside it: neither gives a usable name.
        const int value = hexValue(c);
        if (value < 0) return std::nullopt;
        if (high < 0) {
            high = value;
            continue;
        }
        const int code = high * 16 + value;
        if (code == 0) return std::nullopt;
        name += static_cast<char>(code);
        high = -1;
    }
    if (high >= 0 || name.empty()) return std::nullopt;
    return name;
}

// The "MDL:" value of the device's own ID, or empty.
std::string modelFromDevice(platform::Services& sys, const std::string& path, uint32_t outLen) {
    platform::DeviceIo& dev = sys.deviceIo();
    const platform::DeviceHandle handle = dev.open(path, platform::ShareMode::Exclusive);
    if (!handle.valid()) return {};
    std::string model;
    std::array<uint8_t, platform::kDeviceIdCapacity> reply{};
    size_t obtained = 0;
    if (dev.queryDeviceId(handle, reply.data(), reply.size(), obtained) && obtained >= 1) {
        sys.trace().write("GetPrinterPNPString\r\n");
        const std::string_view id = replyText(reply.data(), std::min(obtained, reply.size()));
        if (const size_t at = id.find("MDL:"); at != std::string_view::npos) {
            std::string_view value = id.substr(at + 4);
            value = value.substr(0, value.find(';'));
            model = std::string(value.substr(0, outLen - 1));
        }
    }
    dev.close(handle);
    return model;
}

}  // namespace

bool EnumerateUSBDevicePaths(platform::Services& sys, const uint32_t* vendorIds,
                             uint8_t vendorCount, std::vector<std::string>* paths, uint8_t maxPaths,
                             bool anyClass) {
    if (!paths) return false;
    platform::DeviceEnumerator& enumerator = sys.enumerator();
    std::vector<std::string> patterns;
    for (uint8_t i = 0; vendorIds && i < vendorCount; ++i) {
        patterns.push_back(vendorPattern(vendorIds[i]));
    }

    size_t stored = 0;
    for (const auto cls : {platform::InterfaceClass::Hid, platform::InterfaceClass::UsbDevice}) {
        const auto interfaces = enumerator.list(cls);
        if (!interfaces) continue;
        const size_t count = std::min(interfaces->size(), kMaxInterfacesPerClass);
        for (size_t index = 0; index < count; ++index) {
            const platform::DeviceInterface& entry = (*interfaces)[index];
            if (!entry.path) continue;
            if (cls == platform::InterfaceClass::UsbDevice && !anyClass &&
                entry.classInitial != 'U') {
                continue;
            }
            for (const std::string& pattern : patterns) {
                if (entry.path->find(pattern) == std::string::npos) continue;
                if (stored < maxPaths) {
                    paths->push_back(*entry.path);
                    ++stored;
                }
                break;
            }
        }
    }
    return true;
}

bool GetPrinterPNPString(platform::Services& sys, const char* devicePath, uint32_t vendorId,
                         std::string& out, uint32_t outLen, const char* defaultName) {
    if (outLen == 0 || !devicePath) return false;
    out.clear();
    const std::string kept =
        defaultName ? std::string(std::string_view(defaultName).substr(0, kPrinterNameLength))
                    : std::string();
    const std::string path(devicePath);

    // Only a path that carries the maker's vendor ID is read for a name,
    // whatever vendor the caller claims for it.
    const bool makers = (vendorId & 0xFFFF) == kKvUsbVendorId &&
                        path.find(vendorPattern(kKvUsbVendorId)) != std::string::npos;
    const size_t usb = makers ? path.find("usb#") : std::string::npos;
    if (usb != std::string::npos) {
        const size_t hash = path.find('#', usb + 4);
        std::optional<std::string> name;
        if (hash != std::string::npos) {
            std::string_view segment = std::string_view(path).substr(hash + 1);
            segment = segment.substr(0, segment.find('#'));
            name = decodeSerial(segment, outLen);
        }
        out = name ? *name : modelFromDevice(sys, path, outLen);
    }
    if (out.empty()) out = kept.substr(0, outLen);
    return !out.empty();
}

bool GetPrinterID(platform::Services& sys, platform::DeviceHandle handle, PrinterData& printer) {
    platform::DeviceIo& dev = sys.deviceIo();
    std::array<uint8_t, platform::kDeviceIdCapacity> reply{};
    size_t obtained = 0;
    if (!dev.queryDeviceId(handle, reply.data(), reply.size(), obtained)) {
        platform::box(sys.ui(),
                      platform::formatted("GetPrinterID - Error = %d, IOCTL = %X",
                                          static_cast<int>(dev.lastError()),
                                          static_cast<unsigned>(platform::kIoctlDeviceId)));
        return false;
    }
    printer.deviceId =
        std::string(replyText(reply.data(), std::min(obtained, platform::kDeviceIdCapacity - 1)));
    sys.clock().sleepMs(kDeviceIdQueryPauseMs);
    return true;
}

}  // namespace kv
