// Children the Linux tests start by path, for what must happen in a process
// of its own: kvtest_helper COMMAND ARGUMENTS...
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>

#include "platform/Services.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxDurableFile.h"
#include "platform/sim/CaptureTrace.h"
#include "platform/sim/ScriptedUi.h"
#include "spooler/PortRedirection.h"
#include "state/PrinterState.h"
#include "state/SpoolerState.h"

namespace {

using namespace kv;

// Switches the scheduler's queues to file with the journal, writes the
// marker once they are, and waits to be killed (a minute at most).
int switchQueuesAndWait(const std::string& server, const std::string& journalPath,
                        const std::string& marker) {
    platform::sim::CaptureTrace trace;
    platform::sim::ScriptedUi ui;
    platform::linux_impl::CupsSpooler spooler(server);
    platform::linux_impl::LinuxDurableFile journal(journalPath);
    platform::Services sys;
    sys.wired.trace = &trace;
    sys.wired.ui = &ui;
    sys.wired.spooler = &spooler;
    sys.wired.queueJournal = &journal;
    SpoolerState state;
    PrinterState printer;
    if (!SetPortsToFile(sys, state, printer)) {
        std::fprintf(stderr, "the queues were not switched\n");
        return 1;
    }
    std::ofstream(marker) << "switched\n";
    std::promise<void> killed;
    killed.get_future().wait_for(std::chrono::seconds(60));
    return 0;
}

// Takes the tools' lock in `folder` as user `uid` (a group of the same
// number, no other groups) with the tightest umask, and prints "taken",
// "held" or "failed: REASON".
int takeLockAs(const std::string& folder, const std::string& uid) {
    const auto id = static_cast<uid_t>(std::stoul(uid));
    if (::setgroups(0, nullptr) != 0 || ::setresgid(id, id, id) != 0 ||
        ::setresuid(id, id, id) != 0) {
        std::perror("kvtest_helper: cannot become that user");
        return 1;
    }
    ::umask(077);
    platform::linux_impl::FlockInstanceLock lock(folder);
    const auto taken = lock.create();
    if (!taken) {
        std::printf("failed: %s\n", taken.reason().c_str());
    } else {
        std::printf("%s\n", *taken == platform::LockState::Taken ? "taken" : "held");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "switch-queues" && argc == 5)
        return switchQueuesAndWait(argv[2], argv[3], argv[4]);
    if (command == "take-lock" && argc == 4) return takeLockAs(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: kvtest_helper switch-queues SERVER JOURNAL MARKER | take-lock FOLDER "
                 "UID\n");
    return 2;
}
