#include "emulator/sim/SimDeviceEnumerator.h"

#include <cstdio>
#include <stdexcept>

#include "platform/Ascii.h"
#include "platform/Format.h"

namespace kv::emulator {

void SimDeviceEnumerator::add(InterfaceClass cls, DeviceInterface entry) {
    std::lock_guard lock(mutex_);
    classes_[cls].entries.push_back(std::move(entry));
}

void SimDeviceEnumerator::add(InterfaceClass cls, std::string path,
                              std::optional<char> classInitial) {
    add(cls, DeviceInterface{std::move(path), classInitial});
}

void SimDeviceEnumerator::plug(InterfaceClass cls, const std::string& path,
                               std::shared_ptr<emulator::PrinterModel> model,
                               SimDeviceOptions options) {
    if (!world_) throw std::logic_error("SimDeviceEnumerator::plug needs a device world");
    world_->attach(path, std::move(model), options);
    const char initial = cls == InterfaceClass::Hid ? 'H' : 'U';
    std::lock_guard lock(mutex_);
    classes_[cls].entries.push_back(DeviceInterface{path, initial});
    plugged_.push_back(path);
}

std::string SimDeviceEnumerator::plugUsbPrinter(uint16_t vendorId, uint16_t productId,
                                                std::string_view serial,
                                                std::shared_ptr<emulator::PrinterModel> model,
                                                SimDeviceOptions options) {
    const std::string path = platform::makeUsbDevicePath(vendorId, productId, serial);
    plug(InterfaceClass::UsbDevice, path, std::move(model), options);
    return path;
}

void SimDeviceEnumerator::unplug(const std::string& path) {
    bool wasPlugged = false;
    {
        std::lock_guard lock(mutex_);
        for (auto& [cls, list] : classes_) {
            std::erase_if(list.entries,
                          [&](const DeviceInterface& e) { return e.path && *e.path == path; });
        }
        wasPlugged = std::erase(plugged_, path) != 0;
    }
    if (wasPlugged && world_) world_->detach(path);
}

void SimDeviceEnumerator::clear() {
    std::vector<std::string> plugged;
    {
        std::lock_guard lock(mutex_);
        for (auto& [cls, list] : classes_) list.entries.clear();
        plugged.swap(plugged_);
    }
    if (world_) {
        for (const auto& path : plugged) world_->detach(path);
    }
}

void SimDeviceEnumerator::setListFails(InterfaceClass cls, bool fails) {
    std::lock_guard lock(mutex_);
    classes_[cls].fails = fails;
}

size_t SimDeviceEnumerator::listCalls(InterfaceClass cls) const {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(cls);
    return it == classes_.end() ? 0 : it->second.calls;
}

std::optional<std::vector<DeviceInterface>> SimDeviceEnumerator::list(InterfaceClass cls) {
    std::lock_guard lock(mutex_);
    ClassList& list = classes_[cls];
    ++list.calls;
    if (list.fails) return std::nullopt;
    return list.entries;
}

std::string SimDeviceEnumerator::hidPath(uint16_t vendorId, uint16_t productId,
                                         std::string_view instance) {
    const std::string ids = platform::formatted(
        "vid_%04x&pid_%04x#", static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    std::string path = "\\\\?\\hid#";
    path += ids;
    path += platform::asciiLowerCase(instance);
    path += '#';
    path += platform::kHidInterfaceGuid;
    return path;
}

}  // namespace kv::emulator
