#include "main/win32/Win32World.h"

#include "main/SimulatedPrinters.h"
#include "platform/win32/DebugStringTrace.h"
#include "platform/win32/ExecutionStateInhibitor.h"
#include "platform/win32/JournalFile.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/SetupDiEnumerator.h"
#include "platform/win32/TokenAdmin.h"
#include "platform/win32/Win32DeviceIo.h"
#include "platform/win32/Win32FileReader.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32HistoryFile.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/WinsockNetwork.h"
#include "platform/win32/WinspoolSpooler.h"

namespace kv::entry {

namespace {

namespace win = platform::win32;

// What every world shares: trace, executable path, instance lock, admin
// check, network and threads.
class CommonWorld : public World {
public:
    explicit CommonWorld(const Options& options) : trace_(options.trace) {
        sys.wired.trace = &trace_;
        sys.wired.files = &files_;
        sys.wired.fileReader = &fileReader_;
        sys.wired.instanceLock = &lock_;
        sys.wired.admin = &admin_;
        sys.wired.network = &network_;
        sys.wired.threads = &threads_;
    }

private:
    win::DebugStringTrace trace_;
    win::Win32Files files_;
    win::Win32FileReader fileReader_;
    win::MutexInstanceLock lock_;
    win::TokenAdmin admin_;
    win::WinsockNetwork network_;
    win::Win32Threads threads_;
};

class RealWorld final : public CommonWorld {
public:
    explicit RealWorld(const Options& options)
        : CommonWorld(options),
          journal_(win::JournalFile::queueJournalPath()),
          history_(win::Win32HistoryFile::historyPath()) {
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
    win::Win32DeviceIo deviceIo_;
    win::SetupDiEnumerator enumerator_;
    win::WinspoolSpooler spooler_;
    win::JournalFile journal_;
    win::Win32HistoryFile history_;
    win::ExecutionStateInhibitor inhibitor_;
};

// The simulated printers keep a history of their own beside the real one.
class SimulatedWorld final : public CommonWorld {
public:
    explicit SimulatedWorld(const Options& options)
        : CommonWorld(options),
          machine_(options),
          history_(win::Win32HistoryFile::simulatedHistoryPath()) {
        simulated = true;
        machine_.wireInto(sys);
        sys.wired.history = &history_;
    }

private:
    SimulatedMachine machine_;
    win::Win32HistoryFile history_;
};

}  // namespace

std::unique_ptr<World> makeWin32RealWorld(const Options& options) {
    return std::make_unique<RealWorld>(options);
}

std::unique_ptr<World> makeWin32SimulatedWorld(const Options& options) {
    return std::make_unique<SimulatedWorld>(options);
}

}  // namespace kv::entry
