#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "emulator/PrinterModel.h"
#include "link/UsbConfig.h"
#include "tests/support/SimWorld.h"

namespace kv::testing {

using Lines = std::vector<std::string>;

inline constexpr const char* kZowId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
// "ZOW3004F" in the hexadecimal serial form the USB path carries it.
inline constexpr const char* kZowSerial = "5a4f573330303446";
inline constexpr const char* kKvQueue = "KV_ZOW3004F";

// A machine with local KV printers, the in-memory spooler holding a KV
// queue on USB and an office queue, and every service discovery and the
// local flash take, all on a virtual clock.
struct DiscoveryWorld : SimWorld {
    std::string kvQueuePort;

    // Workers the test started; each must end before the world goes, since
    // it uses everything here.
    size_t workersStarted = 0;
    ~DiscoveryWorld() {
        while (state.workerSignal.endedCount() < workersStarted) {
            if (!state.workerSignal.waitForWorkerEnd()) break;
        }
    }

    DiscoveryWorld() : SimWorld(platform::sim::MemorySpooler::defaultWorld()) {
        kvQueuePort = spooler.queue(kKvQueue)->portName;
    }

    std::shared_ptr<emulator::PrinterModel> model(emulator::LinkKind link,
                                                  std::string deviceId = kZowId) {
        emulator::PrinterConfig config;
        config.link = link;
        config.deviceId = std::move(deviceId);
        return std::make_shared<emulator::PrinterModel>(config, &clock);
    }
    using SimWorld::model;

    // A USB printer of the maker's vendor ID; returns its path.
    std::string plugUsb(std::shared_ptr<emulator::PrinterModel> printer,
                        std::string serial = kZowSerial, emulator::SimDeviceOptions options = {},
                        uint16_t productId = 1) {
        return enumerator.plugUsbPrinter(kKvUsbVendorId, productId, serial, std::move(printer),
                                         options);
    }
    void plugParallel(const std::string& port, std::shared_ptr<emulator::PrinterModel> printer,
                      emulator::SimDeviceOptions options = {}) {
        io.attach(port, std::move(printer), options);
    }

    std::string kvQueueNow() const { return spooler.queue(kKvQueue)->portName; }
    // The KV queue prints to its printer again and nothing is held.
    bool queuesBack() const { return kvQueueNow() == kvQueuePort && !spooler.held(kKvQueue); }

    std::vector<std::string> boxTexts() const { return ui.boxTexts(); }
    size_t traceCount(const std::string& line) const { return trace.count(line); }
};

}  // namespace kv::testing
