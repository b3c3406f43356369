#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "state/Context.h"
#include "emulator/PrinterModel.h"
#include "link/UsbConfig.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemorySpooler.h"
#include "platform/sim/RecordingDialogControls.h"
#include "platform/sim/ScriptedUi.h"
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/VirtualClock.h"

namespace kv::testing {

using Lines = std::vector<std::string>;

inline constexpr const char* kZowId = "MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12;";
// "ZOW3004F" in the hexadecimal serial form the USB path carries it.
inline constexpr const char* kZowSerial = "5a4f573330303446";
inline constexpr const char* kKvQueue = "KV_ZOW3004F";

// A machine with local KV printers, the in-memory spooler holding a KV
// queue on USB and an office queue, and every service discovery and the
// local flash take, all on a virtual clock.
struct DiscoveryWorld {
    platform::sim::VirtualClock clock;
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::sim::RecordingDialogControls controls;
    emulator::SimDeviceIo io;
    emulator::SimDeviceEnumerator enumerator{&io};
    platform::sim::MemorySpooler spooler{platform::sim::MemorySpooler::defaultWorld()};
    platform::sim::MemoryFile journal;
    platform::sim::SimThreads threads;
    platform::Services sys;
    AppState state;
    Context ctx{state, sys};
    std::string kvQueuePort;

    DiscoveryWorld(const DiscoveryWorld&) = delete;
    DiscoveryWorld& operator=(const DiscoveryWorld&) = delete;
    // Workers the test started; each must end before the world goes, since
    // it uses everything here.
    size_t workersStarted = 0;
    ~DiscoveryWorld() {
        while (state.workerSignal.endedCount() < workersStarted) {
            if (!state.workerSignal.waitForWorkerEnd()) break;
        }
    }

    DiscoveryWorld() {
        sys.wired.clock = &clock;
        sys.wired.trace = &trace;
        sys.wired.ui = &ui;
        sys.wired.controls = &controls;
        sys.wired.deviceIo = &io;
        sys.wired.enumerator = &enumerator;
        sys.wired.spooler = &spooler;
        sys.wired.queueJournal = &journal;
        sys.wired.threads = &threads;
        kvQueuePort = spooler.queue(kKvQueue)->portName;
    }

    std::shared_ptr<emulator::PrinterModel> model(emulator::LinkKind link,
                                                  std::string deviceId = kZowId) {
        emulator::PrinterConfig config;
        config.link = link;
        config.deviceId = std::move(deviceId);
        return std::make_shared<emulator::PrinterModel>(config, &clock);
    }
    std::shared_ptr<emulator::PrinterModel> model(emulator::PrinterConfig config) {
        return std::make_shared<emulator::PrinterModel>(config, &clock);
    }

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
