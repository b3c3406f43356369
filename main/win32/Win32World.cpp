#include "main/win32/Win32World.h"

#include "image/TrustedKeyFiles.h"
#include "main/DemoKey.h"
#include "main/SimulatedPrinters.h"
#include "platform/win32/DebugStringTrace.h"
#include "platform/win32/ExecutionStateInhibitor.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/SetupDiEnumerator.h"
#include "platform/win32/StateFolder.h"
#include "platform/win32/TokenAdmin.h"
#include "platform/win32/Win32DeviceIo.h"
#include "platform/win32/Win32DurableFile.h"
#include "platform/win32/Win32FileReader.h"
#include "platform/win32/Win32FileWriter.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32KeyFolders.h"
#include "platform/win32/Win32HistoryFile.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/WinsockNetwork.h"
#include "platform/win32/WinspoolSpooler.h"

namespace kv::entry {

namespace {

namespace win = platform::win32;

// What every world on Windows takes from the machine itself: the trace,
// the executable's path, the file reader and writer, the instance lock, the
// administrator check, the network and threads.
class Win32Host final : public ServiceBundle {
public:
    explicit Win32Host(bool echoTrace)
        : trace_(echoTrace),
          trust_(loadTrustedKeys(fileReader_, keyFolders_, trustedKeysVariable())) {}

    void wireInto(platform::Services& sys) override {
        sys.wired.trace = &trace_;
        sys.wired.files = &files_;
        sys.wired.fileReader = &fileReader_;
        sys.wired.fileWriter = &fileWriter_;
        sys.wired.instanceLock = &lock_;
        sys.wired.admin = &admin_;
        sys.wired.network = &network_;
        sys.wired.threads = &threads_;
        sys.wired.trustedKeys = &trust_;
    }

private:
    win::DebugStringTrace trace_;
    win::Win32Files files_;
    win::Win32FileReader fileReader_;
    win::Win32FileWriter fileWriter_;
    win::MutexInstanceLock lock_;
    win::TokenAdmin admin_;
    win::WinsockNetwork network_;
    win::Win32Threads threads_;
    win::Win32KeyFolders keyFolders_;
    platform::TrustedKeys trust_;
};

// The machine's own printers, print queues and their journal, the flash
// history, the clock and the sleep protection.
class Win32Machine final : public ServiceBundle {
public:
    Win32Machine()
        : journal_(win::Win32DurableFile::queueJournalPath()),
          history_(win::Win32HistoryFile::historyPath()),
          fleetTargets_(win::stateFolder() + "\\fleet-targets"),
          fleetWindow_(win::stateFolder() + "\\fleet-window") {}

    void wireInto(platform::Services& sys) override {
        sys.wired.clock = &clock_;
        sys.wired.deviceIo = &deviceIo_;
        sys.wired.enumerator = &enumerator_;
        sys.wired.spooler = &spooler_;
        sys.wired.queueJournal = &journal_;
        sys.wired.history = &history_;
        sys.wired.sleepInhibitor = &inhibitor_;
        sys.wired.fleetTargets = &fleetTargets_;
        sys.wired.fleetWindow = &fleetWindow_;
    }

private:
    platform::RealClock clock_;
    win::Win32DeviceIo deviceIo_;
    win::SetupDiEnumerator enumerator_;
    win::WinspoolSpooler spooler_;
    win::Win32DurableFile journal_;
    win::Win32HistoryFile history_;
    win::ExecutionStateInhibitor inhibitor_;
    win::Win32DurableFile fleetTargets_;
    win::Win32DurableFile fleetWindow_;
};

}  // namespace

std::unique_ptr<World> makeWin32RealWorld(const Options& options) {
    return std::make_unique<World>(
        std::make_unique<Win32Host>(options.trace), std::make_unique<Win32Machine>(),
        std::make_unique<win::Win32HistoryFile>(win::Win32HistoryFile::simulatedHistoryPath()));
}

std::unique_ptr<World> makeWin32SimulatedWorld(const Options& options) {
    return makeSimulatedWorld(
        options, std::make_unique<Win32Host>(options.trace),
        std::make_unique<win::Win32HistoryFile>(win::Win32HistoryFile::simulatedHistoryPath()));
}

}  // namespace kv::entry
