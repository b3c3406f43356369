#include "main/World.h"

#include "main/SimulatedPrinters.h"
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

        attachSimulatedPrinters(options, devices_, enumerator_, clock);
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
