// Children the Windows tests start by path, for what must happen in a
// process of its own; each prints its answers as key=value lines.
// kvtest_helper COMMAND
#include <cstdio>
#include <string>

#include "app/Startup.h"
#include "platform/win32/MutexInstanceLock.h"
#include "platform/win32/Win32Files.h"
#include "state/Context.h"

namespace {

using namespace kv;

// What creating the tools' lock answers here: taken, held or the failure.
int createLock() {
    platform::win32::MutexInstanceLock lock;
    const auto taken = lock.create();
    if (!taken) {
        std::printf("create=failed: %s\n", taken.reason().c_str());
    } else {
        std::printf("create=%s\n", *taken == platform::LockState::Taken ? "taken" : "held");
    }
    return 0;
}

// The automatic loading this program's own name and folder decide on (the
// test runs a copy of it under the name under test).
int detectAutoLoad() {
    AppState state;
    platform::NullTrace trace;
    platform::win32::Win32Files files;
    platform::Services sys;
    sys.wired.trace = &trace;
    sys.wired.files = &files;
    Context ctx{state, sys};
    DetectAutoLoad(ctx);
    std::printf("module=%s\nmode=%d\nname=%s\npath=%s\n", state.modulePath.c_str(),
                state.autoLoadMode, state.autoLoadFileName.c_str(), state.autoLoadFilePath.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    if (command == "create-lock") return createLock();
    if (command == "detect-autoload") return detectAutoLoad();
    std::fprintf(stderr, "usage: kvtest_helper create-lock | detect-autoload\n");
    return 2;
}
