#include "main/World.h"

#include "main/LinuxHost.h"
#include "main/SimulatedPrinters.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/LinuxDurableFile.h"
#include "platform/linux/LinuxHistoryFile.h"
#include "platform/linux/LogindSleepInhibitor.h"
#include "platform/linux/StateFolder.h"
#include "platform/linux/SysfsUsbEnumerator.h"

namespace kv::entry {

namespace {

namespace lx = platform::linux_impl;

// The machine's own printers, print queues and their journal, the flash
// history, the clock and the sleep protection.
class LinuxMachine final : public ServiceBundle {
public:
    LinuxMachine()
        : journal_(lx::LinuxDurableFile::queueJournalPath()),
          history_(lx::LinuxHistoryFile::historyPath()),
          fleetTargets_(lx::stateFolder() + "/fleet-targets") {}

    void wireInto(platform::Services& sys) override {
        sys.wired.clock = &clock_;
        sys.wired.deviceIo = &deviceIo_;
        sys.wired.enumerator = &enumerator_;
        sys.wired.spooler = &spooler_;
        sys.wired.queueJournal = &journal_;
        sys.wired.history = &history_;
        sys.wired.sleepInhibitor = &inhibitor_;
        sys.wired.fleetTargets = &fleetTargets_;
    }

private:
    platform::RealClock clock_;
    lx::LinuxDeviceIo deviceIo_;
    lx::SysfsUsbEnumerator enumerator_;
    lx::CupsSpooler spooler_;
    lx::LinuxDurableFile journal_;
    lx::LinuxHistoryFile history_;
    lx::LogindSleepInhibitor inhibitor_;
    lx::LinuxDurableFile fleetTargets_;
};

}  // namespace

std::unique_ptr<World> makeRealWorld(const Options& options, const std::string& argv0) {
    return std::make_unique<World>(
        std::make_unique<LinuxHost>(options.trace, argv0), std::make_unique<LinuxMachine>(),
        std::make_unique<lx::LinuxHistoryFile>(lx::LinuxHistoryFile::simulatedHistoryPath()));
}

std::unique_ptr<World> makeSimulatedWorld(const Options& options, const std::string& argv0) {
    return makeSimulatedWorld(
        options, std::make_unique<LinuxHost>(options.trace, argv0),
        std::make_unique<lx::LinuxHistoryFile>(lx::LinuxHistoryFile::simulatedHistoryPath()));
}

}  // namespace kv::entry
