#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/linux/LinuxDeviceIo.h"

namespace kv::testing {

// A scratch machine tree for the Linux device backend: sys/, dev/ and proc/
// under a fresh temporary folder, removed again at the end.
class FakeMachine {
public:
    FakeMachine() {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() /
                ("kvflash-sysfs-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(sys() / "bus" / "usb" / "devices");
        std::filesystem::create_directories(dev() / "usb");
    }
    ~FakeMachine() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeMachine(const FakeMachine&) = delete;
    FakeMachine& operator=(const FakeMachine&) = delete;

    std::filesystem::path root() const { return root_; }
    std::filesystem::path sys() const { return root_ / "sys"; }
    std::filesystem::path dev() const { return root_ / "dev"; }
    std::filesystem::path proc() const { return root_ / "proc"; }
    // Device I/O that looks for its nodes and probe data in this tree.
    platform::linux_impl::LinuxDeviceIoOptions ioOptions() const {
        platform::linux_impl::LinuxDeviceIoOptions o;
        o.sysRoot = sys().string();
        o.devRoot = dev().string();
        o.procRoot = proc().string();
        return o;
    }

    static void write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    // A USB device folder as the kernel lays it out, with its attributes
    // (an empty serial: no serial attribute at all).
    std::filesystem::path addDevice(const std::string& name, const std::string& vid,
                                    const std::string& pid, const std::string& serial) {
        const auto dir = sys() / "devices" / "usb1" / name;
        write(dir / "idVendor", vid + "\n");
        write(dir / "idProduct", pid + "\n");
        if (!serial.empty()) write(dir / "serial", serial + "\n");
        std::filesystem::create_directory_symlink(dir, sys() / "bus" / "usb" / "devices" / name);
        return dir;
    }

    // Interface 1.0 of a device, bound to `driver`; for usblp with its
    // usbmisc class device lpN (and a uevent naming the node when asked).
    void addInterface(const std::string& device, const std::string& driver, int lp = -1,
                      bool uevent = true) {
        const std::string name = device + ":1.0";
        const auto dir = sys() / "devices" / "usb1" / device / name;
        std::filesystem::create_directories(dir);
        if (lp >= 0) {
            const std::string lpName = "lp" + std::to_string(lp);
            std::filesystem::create_directories(dir / "usbmisc" / lpName);
            if (uevent) {
                write(dir / "usbmisc" / lpName / "uevent",
                      "MAJOR=180\nMINOR=" + std::to_string(lp) + "\nDEVNAME=usb/" + lpName + "\n");
            }
        }
        const auto drivers = sys() / "bus" / "usb" / "drivers" / driver;
        std::filesystem::create_directories(drivers);
        write(drivers / "bind", "");
        write(drivers / "unbind", "");
        std::filesystem::create_directory_symlink(dir, drivers / name);
    }

    // A device node stand-in: a plain file, or a FIFO (which never has data
    // unless written, and fills up).
    std::filesystem::path addNode(const std::string& relative, bool fifo = false) {
        const auto node = dev() / relative;
        std::filesystem::create_directories(node.parent_path());
        if (fifo) {
            const std::string command = "mkfifo '" + node.string() + "'";
            if (std::system(command.c_str()) != 0) return {};
        } else {
            write(node, "");
        }
        return node;
    }

private:
    std::filesystem::path root_;
};

}  // namespace kv::testing
