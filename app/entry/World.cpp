#include "app/entry/World.h"

#include "app/entry/SimulatedPrinters.h"
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
#include "platform/sim/SimDeviceEnumerator.h"
#include "platform/sim/SimDeviceIo.h"
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
        sys.trace = &trace_;
        sys.files = &files_;
        sys.instanceLock = &lock_;
        sys.admin = &admin_;
        sys.network = &network_;
        sys.threads = &threads_;
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
        sys.clock = &clock_;
        sys.deviceIo = &deviceIo_;
        sys.enumerator = &enumerator_;
        sys.spooler = &spooler_;
        sys.queueJournal = &journal_;
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
        sys.clock = clock;
        sys.deviceIo = &devices_;
        sys.enumerator = &enumerator_;
        // A demo never touches the machine's real print queues or journal.
        sys.spooler = &spooler_;
        sys.queueJournal = &journal_;

        attachSimulatedPrinters(options, devices_, enumerator_, clock);
    }

private:
    platform::RealClock realClock_;
    sim::VirtualClock virtualClock_;
    sim::SimDeviceIo devices_;
    sim::SimDeviceEnumerator enumerator_;
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
