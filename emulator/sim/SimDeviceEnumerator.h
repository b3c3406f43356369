#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/PrinterModel.h"
#include "platform/DeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"

namespace kv::emulator {

using platform::DeviceEnumerator;
using platform::DeviceInterface;
using platform::InterfaceClass;

// A configurable list of present device interfaces. Entries can be anything
// (HID paths, other vendors, malformed paths, interfaces whose detail or
// class name cannot be read); plug() also attaches a printer at the path in
// the simulated device world, so the listed path opens. Safe to use from
// several threads.
class SimDeviceEnumerator final : public DeviceEnumerator {
public:
    // `world` may be null when only listing is needed.
    explicit SimDeviceEnumerator(SimDeviceIo* world = nullptr) : world_(world) {}

    // A listed interface with no device behind it.
    void add(InterfaceClass cls, DeviceInterface entry);
    void add(InterfaceClass cls, std::string path, std::optional<char> classInitial);

    // Lists `path` and attaches `model` there in the world (a null model is
    // a port that opens and answers nothing). Needs a world.
    void plug(InterfaceClass cls, const std::string& path, std::shared_ptr<PrinterModel> model,
              SimDeviceOptions options = {});
    // A USB printer: its USB device interface path, listed with class 'U'
    // and attached. Returns the path.
    std::string plugUsbPrinter(uint16_t vendorId, uint16_t productId, std::string_view serial,
                               std::shared_ptr<PrinterModel> model, SimDeviceOptions options = {});

    // No longer listed; detached from the world when it was plugged there.
    void unplug(const std::string& path);
    void clear();

    // The class cannot be listed at all.
    void setListFails(InterfaceClass cls, bool fails);
    size_t listCalls(InterfaceClass cls) const;

    std::optional<std::vector<DeviceInterface>> list(InterfaceClass cls) override;

    // A HID interface path of the kind the system reports, lower case.
    static std::string hidPath(uint16_t vendorId, uint16_t productId, std::string_view instance);

private:
    struct ClassList {
        std::vector<DeviceInterface> entries;
        bool fails = false;
        size_t calls = 0;
    };

    SimDeviceIo* world_;
    mutable std::mutex mutex_;
    std::map<InterfaceClass, ClassList> classes_;
    std::vector<std::string> plugged_;
};

}  // namespace kv::emulator
