#include "platform/DeviceEnumerator.h"

#include <cctype>
#include <cstdio>

#include "platform/Ascii.h"
#include "platform/Format.h"

namespace kv::platform {
namespace {

constexpr std::string_view kPrefix = "\\\\?\\usb#";

// Exactly four hexadecimal digits.
std::optional<uint16_t> hex4(std::string_view text) {
    if (text.size() != 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                                                                  : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

std::string makeUsbDevicePath(uint16_t vendorId, uint16_t productId, std::string_view instance) {
    const std::string ids = platform::formatted(
        "vid_%04x&pid_%04x#", static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    std::string path(kPrefix);
    path += ids;
    path += asciiLowerCase(instance);
    path += '#';
    path += kUsbDeviceInterfaceGuid;
    return path;
}

std::optional<UsbPathParts> parseUsbDevicePath(std::string_view path) {
    const std::string p = asciiLowerCase(path);
    std::string_view rest(p);
    if (!rest.starts_with(kPrefix)) return std::nullopt;
    rest.remove_prefix(kPrefix.size());
    // vid_xxxx&pid_xxxx#
    if (rest.size() < 18 || !rest.starts_with("vid_") || rest.substr(8, 5) != "&pid_" ||
        rest[17] != '#') {
        return std::nullopt;
    }
    const auto vid = hex4(rest.substr(4, 4));
    const auto pid = hex4(rest.substr(13, 4));
    if (!vid || !pid) return std::nullopt;
    rest.remove_prefix(18);
    const size_t hash = rest.find('#');
    if (hash == std::string_view::npos || rest.substr(hash + 1) != kUsbDeviceInterfaceGuid) {
        return std::nullopt;
    }
    return UsbPathParts{*vid, *pid, std::string(rest.substr(0, hash))};
}

}  // namespace kv::platform
