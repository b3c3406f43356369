// kvkernel-probe: looks at the real printer drivers from inside the test
// virtual machine with the product's own Linux code, for the kernel
// scenarios to compare with what the kernel shows.
//
//   kvkernel-probe usb              each usblp printer: node, device path, ID, port status
//   kvkernel-probe lpt-write FILE   writes FILE to LPT1: as a flash does (512-byte blocks)
//   kvkernel-probe lpt-read         one bounded read and the ID query on LPT1:
#include <fcntl.h>
#include <linux/lp.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/DeviceIo.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/SysfsUsbEnumerator.h"

namespace {

using kv::platform::DeviceHandle;
using kv::platform::ShareMode;
using kv::platform::linux_impl::LinuxDeviceIo;

constexpr size_t kBlock = 512;

int usb() {
    const auto printers = kv::platform::linux_impl::listUsblpPrinters();
    if (!printers || printers->empty()) {
        std::printf("no usblp printer\n");
        return 1;
    }
    LinuxDeviceIo io;
    for (const auto& p : *printers) {
        std::printf("node=%s\npath=%s\n", p.node.c_str(), p.path.c_str());
        const DeviceHandle h = io.open(p.path, ShareMode::Exclusive);
        if (!h.valid()) {
            std::printf("open-errno=%u\n", io.lastError());
            continue;
        }
        std::vector<uint8_t> id(kv::platform::kDeviceIdCapacity);
        size_t obtained = 0;
        if (io.queryDeviceId(h, id.data(), id.size(), obtained)) {
            std::printf("id=%.*s\n", static_cast<int>(obtained),
                        reinterpret_cast<char*>(id.data()));
        } else {
            std::printf("id-errno=%u\n", io.lastError());
        }
        io.close(h);
        // The port status usblp reads from the printer (GET_PORT_STATUS).
        const int fd = ::open(p.node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int status = 0;
        if (fd >= 0 && ::ioctl(fd, LPGETSTATUS, &status) == 0) {
            std::printf("port-status=0x%02X\n", status & 0xFF);
        } else {
            std::printf("port-status-errno=%d\n", errno);
        }
        if (fd >= 0) ::close(fd);
    }
    return 0;
}

int lptWrite(const char* file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), {});
    if (!in && !in.eof()) {
        std::printf("cannot read %s\n", file);
        return 2;
    }
    LinuxDeviceIo io;
    const DeviceHandle h = io.open("LPT1:", ShareMode::Exclusive);
    if (!h.valid()) {
        std::printf("open LPT1: errno %u\n", io.lastError());
        return 1;
    }
    kv::platform::CommTimeouts t;
    t.writeTotalTimeoutConstant = 15000;
    io.setCommTimeouts(h, t);
    const auto start = std::chrono::steady_clock::now();
    size_t sent = 0;
    bool ok = true;
    while (sent < image.size() && ok) {
        const size_t block = std::min(kBlock, image.size() - sent);
        size_t done = 0;
        while (done < block) {
            size_t taken = 0;
            if (!io.write(h, image.data() + sent + done, block - done, taken) || taken == 0) {
                std::printf("write failed after %zu bytes: errno %u\n", sent + done,
                            io.lastError());
                ok = false;
                break;
            }
            done += taken;
        }
        sent += done;
    }
    io.close(h);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("sent=%zu of %zu in %lld ms\n", sent, image.size(), static_cast<long long>(ms));
    return ok ? 0 : 1;
}

int lptRead() {
    LinuxDeviceIo io;
    const DeviceHandle h = io.open("LPT1:", ShareMode::Exclusive);
    if (!h.valid()) {
        std::printf("open LPT1: errno %u\n", io.lastError());
        return 1;
    }
    std::vector<uint8_t> buffer(1024);
    size_t obtained = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = io.read(h, buffer.data(), buffer.size(), obtained);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("read ok=%d obtained=%zu errno=%u in %lld ms\n", ok ? 1 : 0, obtained,
                ok ? 0u : io.lastError(), static_cast<long long>(ms));
    obtained = 0;
    if (io.queryDeviceId(h, buffer.data(), buffer.size(), obtained)) {
        std::printf("id=%.*s\n", static_cast<int>(obtained),
                    reinterpret_cast<char*>(buffer.data()));
    } else {
        std::printf("id-errno=%u\n", io.lastError());
    }
    io.close(h);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "usb") return usb();
    if (what == "lpt-write" && argc > 2) return lptWrite(argv[2]);
    if (what == "lpt-read") return lptRead();
    std::fprintf(stderr, "usage: kvkernel-probe usb | lpt-write FILE | lpt-read\n");
    return 2;
}
