// kvflash entry point: builds the platform services, runs the start-up
// checks and hands over to the front end.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/Context.h"
#include "app/Startup.h"
#include "platform/linux/FlockInstanceLock.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/SyslogTrace.h"
#include "ui/console/ConsoleUi.h"

namespace {

constexpr const char* kUsage =
    "usage: kvflash [--trace] [--help] [--version]\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool traceToStderr = false;
    for (const std::string& a : args) {
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
        std::fprintf(stderr, "kvflash: unknown option %s\n%s", a.c_str(), kUsage);
        return 2;
    }

    kv::platform::RealClock clock;
    kv::platform::linux_impl::SyslogTrace trace(traceToStderr);
    kv::ui::ConsoleUi ui(stdout);
    kv::platform::linux_impl::LinuxFiles files(argc > 0 ? argv[0] : "");
    kv::platform::linux_impl::FlockInstanceLock lock;
    kv::platform::linux_impl::PosixAdmin admin;

    kv::platform::Services sys;
    sys.clock = &clock;
    sys.trace = &trace;
    sys.ui = &ui;
    sys.files = &files;
    sys.instanceLock = &lock;
    sys.admin = &admin;

    kv::AppState state;
    kv::Context ctx{state, sys};
    if (auto code = kv::runStartupChecks(ctx)) return *code;
    kv::ClearInstanceMutex(ctx);
    return 0;
}
