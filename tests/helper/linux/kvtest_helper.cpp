// Children the Linux tests start by path, for what must happen in a process
// of its own: kvtest_helper COMMAND ARGUMENTS...
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>

#include "platform/Services.h"
#include "platform/linux/CupsSpooler.h"
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

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "switch-queues" && argc == 5)
        return switchQueuesAndWait(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: kvtest_helper switch-queues SERVER JOURNAL MARKER\n");
    return 2;
}
