#include "platform/linux/SysfsUsbEnumerator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Ascii.h"

namespace kv::platform::linux_impl {
namespace fs = std::filesystem;
namespace {

// First line of a sysfs attribute, without its line end; nothing when the
// attribute is missing.
std::optional<std::string> attribute(const fs::path& file) {
    std::ifstream in(file);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::optional<uint16_t> hexAttribute(const fs::path& file) {
    const auto text = attribute(file);
    if (!text || text->empty() || text->size() > 4) return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value, 16);
    if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
    return static_cast<uint16_t>(value);
}

// "lp7" -> 7; anything else is not a usblp node.
std::optional<unsigned> lpNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0) return std::nullopt;
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(name.data() + 2, name.data() + name.size(), n);
    if (ec != std::errc() || end != name.data() + name.size()) return std::nullopt;
    return n;
}

// The node name udev gives it: DEVNAME of the class device, else usb/lpN.
std::string nodeName(const fs::path& classDevice, const std::string& name) {
    std::ifstream in(classDevice / "uevent");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("DEVNAME=") && line.size() > 8) return line.substr(8);
    }
    return "usb/" + name;
}

bool pathSafe(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
}

}  // namespace

std::string usbInstanceSegment(const std::string& serial, const std::string& deviceName) {
    if (!serial.empty() && std::all_of(serial.begin(), serial.end(), pathSafe)) {
        return asciiLowerCase(serial);
    }
    return "&" + deviceName;
}

std::optional<std::vector<UsbPrinterNode>> listUsblpPrinters(const std::string& sysRoot,
                                                             const std::string& devRoot) {
    std::error_code ec;
    const fs::path usb = fs::path(sysRoot) / "bus" / "usb";
    if (!fs::is_directory(usb, ec)) return std::nullopt;

    std::vector<std::pair<unsigned, UsbPrinterNode>> found;
    const fs::path driver = usb / "drivers" / "usblp";
    fs::directory_iterator it(driver, ec);
    if (ec) return std::vector<UsbPrinterNode>{};
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string iface = it->path().filename().string();
        // Interfaces are named bus-port...:config.interface; the driver
        // folder also holds bind, unbind, module and the like.
        const size_t colon = iface.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        const fs::path ifaceDir = fs::canonical(it->path(), ec);
        if (ec) {
            ec.clear();
            continue;
        }
        // The usbmisc class device names the node.
        std::optional<unsigned> number;
        std::string lpName;
        fs::path classDevice;
        fs::directory_iterator misc(ifaceDir / "usbmisc", ec);
        if (ec) {
            ec.clear();
            continue;
        }
        for (; misc != fs::directory_iterator(); misc.increment(ec)) {
            if (ec) break;
            const std::string name = misc->path().filename().string();
            if (auto n = lpNumber(name)) {
                number = n;
                lpName = name;
                classDevice = misc->path();
                break;
            }
        }
        ec.clear();
        if (!number) continue;

        // The device folder is the interface folder's parent.
        const fs::path deviceDir = ifaceDir.parent_path();
        const auto vid = hexAttribute(deviceDir / "idVendor");
        const auto pid = hexAttribute(deviceDir / "idProduct");
        if (!vid || !pid) continue;

        UsbPrinterNode p;
        p.interfaceName = iface;
        p.deviceName = deviceDir.filename().string();
        p.node = (fs::path(devRoot) / nodeName(classDevice, lpName)).string();
        p.vendorId = *vid;
        p.productId = *pid;
        p.serial = attribute(deviceDir / "serial").value_or("");
        p.path =
            makeUsbDevicePath(p.vendorId, p.productId, usbInstanceSegment(p.serial, p.deviceName));
        found.emplace_back(*number, std::move(p));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UsbPrinterNode> printers;
    printers.reserve(found.size());
    for (auto& [n, p] : found) printers.push_back(std::move(p));
    return printers;
}

SysfsUsbEnumerator::SysfsUsbEnumerator(std::string sysRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}

std::optional<std::vector<DeviceInterface>> SysfsUsbEnumerator::list(InterfaceClass cls) {
    if (cls == InterfaceClass::Hid) return std::vector<DeviceInterface>{};
    const auto printers = listUsblpPrinters(sysRoot_, devRoot_);
    if (!printers) return std::nullopt;
    std::vector<DeviceInterface> out;
    out.reserve(printers->size());
    for (const auto& p : *printers) out.push_back(DeviceInterface{p.path, 'U'});
    return out;
}

}  // namespace kv::platform::linux_impl
