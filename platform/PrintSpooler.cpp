#include "platform/PrintSpooler.h"

#include <array>

#include "platform/Ascii.h"

namespace kv::platform {

std::string portForDeviceUri(std::string_view uri) {
    const size_t colon = uri.find(':');
    if (colon != std::string_view::npos && asciiLowerCase(uri.substr(0, colon)) == "usb") {
        return "USB" + std::string(uri.substr(colon));
    }
    static constexpr std::array<std::string_view, 3> kParallel = {
        "parallel:/dev/lp0", "parallel:/dev/lp1", "parallel:/dev/lp2"};
    for (size_t i = 0; i < kParallel.size(); ++i) {
        if (uri == kParallel[i]) return "LPT" + std::to_string(i + 1) + ":";
    }
    if (uri == kDummyDeviceUri || uri == "file:///dev/null") return std::string(kDummyPortName);
    // A network queue must never look like a local port, whatever its host
    // or path is called ("ipp://server/printers/USB_KV").
    if (uri.find("USB") != std::string_view::npos || uri.find("LPT") != std::string_view::npos) {
        return asciiLowerCase(uri);
    }
    return std::string(uri);
}

}  // namespace kv::platform
