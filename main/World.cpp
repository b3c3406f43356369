#include "main/World.h"

#include "emulator/PrinterModel.h"
#include "link/UsbConfig.h"
#include "platform/linux/AtomicFile.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/PthreadThreads.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "platform/linux/SyslogTrace.h"
#include "platform/sim/MemoryFile.h"
#include "platform/sim/MemorySpooler.h"
#include "emulator/sim/SimDeviceEnumerator.h"
#include "emulator/sim/SimDeviceIo.h"
#include "platform/sim/VirtualClock.h"

namespace kv::entry {

namespace {

namespace lx = platform::linux_impl;
namespace sim = platform::sim;

// What every world shares: trace, executable path, instance lock, admin
// check and the network.
class CommonWorld : public World {
public:
    CommonWorld(const Options& options, const std::string& argv0)
        : trace_(options.trace), files_(argv0) {
        sys.wired.trace = &trace_;
        sys.wired.files = &files_;
        sys.wired.instanceLock = &lock_;
        sys.wired.admin = &admin_;
        sys.wired.network = &network_;
        sys.wired.threads = &threads_;
    }

private:
    lx::SyslogTrace trace_;
    lx::LinuxFiles files_;
    lx::FlockInstanceLock lock_;
    lx::PosixAdmin admin_;
    lx::PosixNetwork network_;
    lx::PthreadThreads threads_;
};

class RealWorld final : public CommonWorld {
public:
    RealWorld(const Options& options, const std::string& argv0)
        : CommonWorld(options, argv0), journal_(lx::AtomicFile::queueJournalPath()) {
        sys.wired.clock = &clock_;
        sys.wired.deviceIo = &deviceIo_;
        sys.wired.enumerator = &enumerator_;
        sys.wired.spooler = &spooler_;
        sys.wired.queueJournal = &journal_;
    }

private:
    platform::RealClock clock_;
    lx::LinuxDeviceIo deviceIo_;
    lx::SysfsUsbEnumerator enumerator_;
    lx::CupsSpooler spooler_;
    lx::AtomicFile journal_;
};

std::shared_ptr<emulator::PrinterModel> makePrinter(const std::string& deviceId,
                                                    emulator::LinkKind link,
                                                    platform::Clock* clock) {
    emulator::PrinterConfig config;
    config.link = link;
    config.deviceId = deviceId;
    config.zor1Family = deviceId.find("MDL:ZOR1") != std::string::npos;
    return std::make_shared<emulator::PrinterModel>(config, clock);
}

class SimulatedWorld final : public CommonWorld {
public:
    SimulatedWorld(const Options& options, const std::string& argv0)
        : CommonWorld(options, argv0),
          enumerator_(&devices_),
          spooler_(sim::MemorySpooler::defaultWorld()) {
        simulated = true;
        platform::Clock* clock = &realClock_;
        if (options.fast) clock = &virtualClock_;
        sys.wired.clock = clock;
        sys.wired.deviceIo = &devices_;
        sys.wired.enumerator = &enumerator_;
        // A demo never touches the machine's real print queues or journal.
        sys.wired.spooler = &spooler_;
        sys.wired.queueJournal = &journal_;

        std::vector<std::string> usb = options.simUsb;
        if (!options.customSimulatedWorld()) usb.push_back(kDefaultSimulatedId);
        uint16_t product = 1;
        for (const std::string& id : usb) {
            const std::string serial = "SIM" + std::to_string(1000 + product);
            enumerator_.plugUsbPrinter(kKvUsbVendorId, product++, serial,
                                       makePrinter(id, emulator::LinkKind::Usb, clock));
        }
        for (int port = 0; port < 3; ++port) {
            // One printer per port; the last one given wins.
            if (options.simLpt[port].empty()) continue;
            devices_.attach("LPT" + std::to_string(port + 1) + ":",
                            makePrinter(options.simLpt[port].back(),
                                        emulator::LinkKind::Parallel, clock));
        }
    }

private:
    platform::RealClock realClock_;
    sim::VirtualClock virtualClock_;
    emulator::SimDeviceIo devices_;
    emulator::SimDeviceEnumerator enumerator_;
    sim::MemorySpooler spooler_;
    sim::MemoryFile journal_;
};

}  // namespace

std::unique_ptr<World> makeRealWorld(const Options& options, const std::string& argv0) {
    return std::make_unique<RealWorld>(options, argv0);
}

std::unique_ptr<World> makeSimulatedWorld(const Options& options, const std::string& argv0) {
    return std::make_unique<SimulatedWorld>(options, argv0);
}

}  // namespace kv::entry
