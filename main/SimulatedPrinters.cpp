#include "main/SimulatedPrinters.h"

#include <memory>

#include "emulator/EmuOptions.h"
#include "emulator/PrinterModel.h"
#include "link/UsbConfig.h"

namespace kv::entry {

namespace {

std::shared_ptr<emulator::PrinterModel> makePrinter(const Options& options,
                                                    const std::string& deviceId,
                                                    emulator::LinkKind link, platform::Clock* clock,
                                                    bool deviceIdFails = false) {
    emulator::PrinterConfig config;
    if (options.keepBytes) config.keepBytes = *options.keepBytes;
    config.link = link;
    config.deviceId = deviceId;
    config.zor1Family = deviceId.find("MDL:ZOR1") != std::string::npos;
    config.deviceIdQueryFails = deviceIdFails;
    return std::make_shared<emulator::PrinterModel>(config, clock);
}

// The port keeps no more of what was written than its printer does.
emulator::SimDeviceOptions portFor(const Options& options) {
    emulator::SimDeviceOptions port;
    if (options.keepBytes) port.keepWritten = *options.keepBytes;
    return port;
}

}  // namespace

void attachSimulatedPrinters(const Options& options, SimulatedMachine& machine) {
    platform::Clock* clock = &machine.wiredClock();
    std::vector<std::string> usb = options.simUsb;
    if (!options.customSimulatedWorld()) usb.push_back(kDefaultSimulatedId);
    uint16_t product = 1;
    for (const std::string& id : usb) {
        const std::string serial = "SIM" + std::to_string(1000 + product);
        machine.enumerator.plugUsbPrinter(kKvUsbVendorId, product++, serial,
                                          makePrinter(options, id, emulator::LinkKind::Usb, clock),
                                          portFor(options));
    }
    // Counted through the name their serial number carries, as KV printers'
    // serial numbers do; asked for their ID, they fail.
    for (const std::string& id : options.simUsbNoId) {
        machine.enumerator.plugUsbPrinter(
            kKvUsbVendorId, product++, emulator::serialNamingModel(id),
            makePrinter(options, id, emulator::LinkKind::Usb, clock, true), portFor(options));
    }
    for (int port = 0; port < 3; ++port) {
        // One printer per port; the last one given wins.
        if (options.simLpt[port].empty()) continue;
        machine.io.attach(
            "LPT" + std::to_string(port + 1) + ":",
            makePrinter(options, options.simLpt[port].back(), emulator::LinkKind::Parallel, clock),
            portFor(options));
    }
}

std::unique_ptr<World> makeSimulatedWorld(const Options& options,
                                          std::unique_ptr<ServiceBundle> host,
                                          std::unique_ptr<platform::HistoryFile> history) {
    auto machine = std::make_unique<SimulatedMachine>(
        SimulatedMachine::Setup{.queues = platform::sim::MemorySpooler::defaultWorld(),
                                .realTime = !options.fast,
                                .calendarFromNow = true,
                                .history = std::move(history)});
    attachSimulatedPrinters(options, *machine);
    return std::make_unique<World>(std::move(host), std::move(machine));
}

}  // namespace kv::entry
