// kvflash entry point: builds the platform services, runs the start-up
// checks and hands over to the front end.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/Context.h"
#include "app/IdentifyCommand.h"
#include "app/QueueCommands.h"
#include "app/Startup.h"
#include "platform/linux/AtomicFile.h"
#include "platform/linux/CupsSpooler.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxDeviceIo.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/PthreadThreads.h"
#include "platform/linux/SigwaitTermination.h"
#include "platform/linux/SysfsUsbEnumerator.h"
#include "platform/linux/SyslogTrace.h"
#include "spooler/QueueJournal.h"
#include "ui/console/ConsoleUi.h"

namespace {

constexpr const char* kUsage =
    "usage: kvflash [--trace] [--help] [--version]\n"
    "       kvflash [--trace] --list-queues | --restore-queues\n"
    "       kvflash [--trace] --identify A.B.C.D[:PORT]\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool traceToStderr = false;
    std::string queueCommand;
    std::optional<std::string> identifyTarget;
    bool wantTarget = false;
    for (const std::string& a : args) {
        if (wantTarget) {
            identifyTarget = a;
            wantTarget = false;
            continue;
        }
        if (a == "--identify") {
            wantTarget = true;
            continue;
        }
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::puts("kvflash 4.0.2.2");
            return 0;
        }
        if (a == "--trace") {
            traceToStderr = true;
            continue;
        }
        if (a == "--list-queues" || a == "--restore-queues") {
            queueCommand = a;
            continue;
        }
        std::fprintf(stderr, "kvflash: unknown option %s\n%s", a.c_str(), kUsage);
        return 2;
    }

    if (wantTarget) {
        std::fprintf(stderr, "kvflash: --identify needs A.B.C.D[:PORT]\n%s", kUsage);
        return 2;
    }

    kv::platform::RealClock clock;
    kv::platform::linux_impl::SyslogTrace trace(traceToStderr);
    kv::ui::ConsoleUi ui(stdout);
    kv::platform::linux_impl::LinuxFiles files(argc > 0 ? argv[0] : "");
    kv::platform::linux_impl::FlockInstanceLock lock;
    kv::platform::linux_impl::PosixAdmin admin;
    kv::platform::linux_impl::CupsSpooler spooler;
    kv::platform::linux_impl::AtomicFile queueJournal(
        kv::platform::linux_impl::AtomicFile::queueJournalPath());

    kv::platform::Services sys;
    sys.clock = &clock;
    sys.trace = &trace;
    sys.ui = &ui;
    sys.files = &files;
    sys.instanceLock = &lock;
    sys.admin = &admin;
    sys.spooler = &spooler;
    sys.queueJournal = &queueJournal;
    kv::platform::linux_impl::LinuxDeviceIo deviceIo;
    kv::platform::linux_impl::SysfsUsbEnumerator enumerator;
    sys.deviceIo = &deviceIo;
    sys.enumerator = &enumerator;

    kv::platform::linux_impl::PosixNetwork network;
    sys.network = &network;
    kv::platform::linux_impl::PthreadThreads threads;
    sys.threads = &threads;
    if (identifyTarget) {
        // Talks to a network printer only: no local ports, no queues, so no
        // instance lock or administrator rights needed.
        kv::AppState state;
        kv::Context ctx{state, sys};
        std::string report;
        const int code = kv::runIdentifyCommand(ctx, *identifyTarget, report);
        std::fputs(report.c_str(), code == 2 ? stderr : stdout);
        return code;
    }

    if (queueCommand == "--list-queues") return kv::listQueues(sys, std::cout);
    if (queueCommand == "--restore-queues") return kv::restoreQueues(sys, std::cout);

    kv::AppState state;
    kv::Context ctx{state, sys};
    // Before any thread starts, so that every thread leaves SIGINT and
    // SIGTERM to it; after ctx, so that it stops before ctx goes.
    kv::platform::linux_impl::SigwaitTermination termination;
    if (auto code = kv::runStartupChecks(ctx)) return *code;
    // Only the holder of the instance lock may touch queues a journal names.
    kv::restoreJournalAtStartup(sys);
    kv::restoreQueuesOnTermination(ctx, termination);
    kv::ClearInstanceMutex(ctx);
    return 0;
}
