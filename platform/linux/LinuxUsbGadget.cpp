#include "platform/linux/LinuxUsbGadget.h"

#include <fcntl.h>
#include <linux/usb/g_printer.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace kv::platform::linux_impl {
namespace fs = std::filesystem;
namespace {

// The function's GET_DEVICE_ID answer counts the ID without its two length
// bytes and sends that many bytes in all, length bytes included: two
// characters more make the host read the whole ID.
constexpr const char* kPnpPadding = "  ";
// How long the host may take to enumerate a freshly plugged device, and
// how often the node is tried meanwhile.
constexpr auto kEnumerationBound = std::chrono::seconds(10);
constexpr auto kEnumerationStep = std::chrono::milliseconds(50);

bool writeAttribute(const fs::path& file, const std::string& value) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::write(fd, value.data(), value.size());
    const int err = errno;
    ::close(fd);
    errno = err;
    return n == static_cast<ssize_t>(value.size());
}

// What failed, with errno's words.
Failure gadgetFailure(const std::string& what) {
    return Failure{what + ": " + std::strerror(errno)};
}

std::string hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

}  // namespace

std::string gadgetPnpString(const std::string& deviceId) { return deviceId + kPnpPadding; }

LinuxUsbGadget::LinuxUsbGadget(LinuxUsbGadgetOptions options) : options_(std::move(options)) {}

LinuxUsbGadget::~LinuxUsbGadget() { remove(); }

std::string LinuxUsbGadget::gadgetDir() const {
    return (fs::path(options_.configfs) / "usb_gadget" / options_.name).string();
}

Result<void> LinuxUsbGadget::layOut() {
    const fs::path root = fs::path(options_.configfs) / "usb_gadget";
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        errno = ENOENT;
        return gadgetFailure(root.string() + " (configfs mounted, libcomposite loaded?)");
    }
    remove();  // what an earlier run left behind
    const fs::path g = gadgetDir();
    const fs::path function = g / "functions" / "printer.usb0";
    const fs::path config = g / "configs" / "c.1";
    if (!fs::create_directory(g, ec)) return gadgetFailure("mkdir " + g.string());
    laidOut_ = true;
    if (!writeAttribute(g / "idVendor", hex4(options_.vendorId)) ||
        !writeAttribute(g / "idProduct", hex4(options_.productId))) {
        return gadgetFailure("vendor and product IDs");
    }
    fs::create_directories(g / "strings" / "0x409", ec);
    if (ec || !writeAttribute(g / "strings" / "0x409" / "serialnumber", options_.serial) ||
        !writeAttribute(g / "strings" / "0x409" / "manufacturer", options_.manufacturer) ||
        !writeAttribute(g / "strings" / "0x409" / "product", options_.product)) {
        return gadgetFailure("gadget strings");
    }
    if (!fs::create_directory(function, ec)) return gadgetFailure("mkdir " + function.string());
    // Only before the function joins a configuration.
    if (!writeAttribute(function / "q_len", std::to_string(options_.queueLength))) {
        return gadgetFailure("q_len");
    }
    if (!fs::create_directory(config, ec)) return gadgetFailure("mkdir " + config.string());
    fs::create_directory_symlink(function, config / "printer.usb0", ec);
    if (ec) {
        errno = ec.value();
        return gadgetFailure("link the function into the configuration");
    }
    return {};
}

void LinuxUsbGadget::remove() {
    unplug();
    const fs::path g = gadgetDir();
    std::error_code ec;
    if (!fs::exists(g, ec)) {
        laidOut_ = false;
        return;
    }
    // configfs removes its folders one by one, in reverse of their making.
    writeAttribute(g / "UDC", "\n");
    fs::remove(g / "configs" / "c.1" / "printer.usb0", ec);
    ::rmdir((g / "configs" / "c.1").c_str());
    ::rmdir((g / "functions" / "printer.usb0").c_str());
    ::rmdir((g / "strings" / "0x409").c_str());
    ::rmdir(g.c_str());
    laidOut_ = false;
}

Result<void> LinuxUsbGadget::plug(const std::string& deviceId) {
    if (!laidOut_) {
        if (auto laid = layOut(); !laid) return laid;
    }
    const fs::path g = gadgetDir();
    const fs::path pnp = g / "functions" / "printer.usb0" / "pnp_string";
    if (!writeAttribute(pnp, gadgetPnpString(deviceId))) return gadgetFailure("pnp_string");

    std::string udc;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(options_.udcClass, ec)) {
        udc = entry.path().filename().string();
        break;
    }
    if (udc.empty()) {
        errno = ENODEV;
        return gadgetFailure("no USB device controller in " + options_.udcClass +
                             " (dummy_hcd loaded?)");
    }
    if (!writeAttribute(g / "UDC", udc)) return gadgetFailure("bind to " + udc);

    // The node opens once the host has configured the device.
    const auto deadline = std::chrono::steady_clock::now() + kEnumerationBound;
    for (;;) {
        fd_ = ::open(options_.node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) return {};
        if (std::chrono::steady_clock::now() >= deadline)
            return gadgetFailure("open " + options_.node);
        std::this_thread::sleep_for(kEnumerationStep);
    }
}

void LinuxUsbGadget::unplug() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (laidOut_) writeAttribute(fs::path(gadgetDir()) / "UDC", "\n");
}

Result<size_t> LinuxUsbGadget::read(uint8_t* buffer, size_t capacity, uint32_t waitMs) {
    if (fd_ < 0) {
        errno = ENODEV;
        return gadgetFailure("read");
    }
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(waitMs));
    if (r < 0) {
        if (errno == EINTR) return size_t{0};
        return gadgetFailure("poll");
    }
    if (r == 0) return size_t{0};
    if (p.revents & (POLLERR | POLLHUP)) {
        errno = ENODEV;
        return gadgetFailure("read");
    }
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EAGAIN || errno == EINTR) return size_t{0};
    return gadgetFailure("read");
}

bool LinuxUsbGadget::idle() {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT) && !(p.revents & (POLLERR | POLLHUP));
}

Result<void> LinuxUsbGadget::write(const uint8_t* data, size_t length) {
    if (fd_ < 0) {
        errno = ENODEV;
        return gadgetFailure("write");
    }
    const ssize_t n = ::write(fd_, data, length);
    if (n == static_cast<ssize_t>(length)) return {};
    if (n >= 0) errno = EAGAIN;
    return gadgetFailure("write");
}

Result<void> LinuxUsbGadget::setPortStatus(uint8_t bits) {
    if (fd_ < 0) {
        errno = ENODEV;
        return gadgetFailure("set the port status");
    }
    // The function takes the byte by value.
    if (::ioctl(fd_, GADGET_SET_PRINTER_STATUS, static_cast<unsigned long>(bits)) < 0) {
        return gadgetFailure("set the port status");
    }
    return {};
}

}  // namespace kv::platform::linux_impl
