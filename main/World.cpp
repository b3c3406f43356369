#include "main/World.h"

#include "main/SimulatedPrinters.h"
#include "platform/linux/AtomicFile.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/PosixFileReader.h"
#include "platform/linux/LinuxHistoryFile.h"
#include "platform/linux/LogindSleepInhibitor.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/PthreadThreads.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "platform/linux/SyslogTrace.h"

namespace kv::entry {

namespace {

namespace lx = platform::linux_impl;

// What every world shares: trace, executable path, instance lock, admin
// check and the network.
class CommonWorld : public World {
public:
    CommonWorld(const Options& options, const std::string& argv0)
        : trace_(options.trace), files_(argv0) {
        sys.wired.trace = &trace_;
        sys.wired.files = &files_;
        sys.wired.fileReader = &fileReader_;
        sys.wired.instanceLock = &lock_;
        sys.wired.admin = &admin_;
        sys.wired.network = &network_;
        sys.wired.threads = &threads_;
    }

private:
    lx::SyslogTrace trace_;
    lx::LinuxFiles files_;
    lx::PosixFileReader fileReader_;
    lx::FlockInstanceLock lock_;
    lx::PosixAdmin admin_;
    lx::PosixNetwork network_;
    lx::PthreadThreads threads_;
};

class RealWorld final : public CommonWorld {
public:
    RealWorld(const Options& options, const std::string& argv0)
        : CommonWorld(options, argv0),
          journal_(lx::AtomicFile::queueJournalPath()),
          history_(lx::LinuxHistoryFile::historyPath()) {
        sys.wired.clock = &clock_;
        sys.wired.deviceIo = &deviceIo_;
        sys.wired.enumerator = &enumerator_;
        sys.wired.spooler = &spooler_;
        sys.wired.queueJournal = &journal_;
        sys.wired.history = &history_;
        sys.wired.sleepInhibitor = &inhibitor_;
    }

private:
    platform::RealClock clock_;
    lx::LinuxDeviceIo deviceIo_;
    lx::SysfsUsbEnumerator enumerator_;
    lx::CupsSpooler spooler_;
    lx::AtomicFile journal_;
    lx::LinuxHistoryFile history_;
    lx::LogindSleepInhibitor inhibitor_;
};

// The simulated printers keep a history of their own beside the real one.
class SimulatedWorld final : public CommonWorld {
public:
    SimulatedWorld(const Options& options, const std::string& argv0)
        : CommonWorld(options, argv0),
          machine_(options),
          history_(lx::LinuxHistoryFile::simulatedHistoryPath()) {
        simulated = true;
        machine_.wireInto(sys);
        sys.wired.history = &history_;
    }

private:
    SimulatedMachine machine_;
    lx::LinuxHistoryFile history_;
};

}  // namespace

std::unique_ptr<World> makeRealWorld(const Options& options, const std::string& argv0) {
    return std::make_unique<RealWorld>(options, argv0);
}

std::unique_ptr<World> makeSimulatedWorld(const Options& options, const std::string& argv0) {
    return std::make_unique<SimulatedWorld>(options, argv0);
}

}  // namespace kv::entry
