#include "app/Startup.h"

#include <string_view>
#include <vector>

#include "platform/Ascii.h"
#include "state/PrinterData.h"

namespace kv {

using platform::endsWithIgnoringCase;
using platform::kErrorAlreadyExists;
using platform::tracef;

platform::Result<void> CreateSingleInstance(Context& ctx) {
    ctx.trace().write("CreateSingleInstance - Entry\r\n");
    const platform::Result<platform::LockState> taken = ctx.sys.instanceLock().create();
    const bool held = taken && *taken == platform::LockState::Held;
    ctx.state.m_dwLastError = held ? kErrorAlreadyExists : 0;
    if (!taken) {
        tracef(ctx.trace(), "CreateSingleInstance - %s\r\n",
               noInstanceLockText(taken.reason()).c_str());
        return taken.failure();
    }
    tracef(ctx.trace(), "CreateSingleInstance = m_dwLastError = %X, ERROR_ALREADY_EXISTS = %X\r\n",
           ctx.state.m_dwLastError, kErrorAlreadyExists);
    return {};
}

bool IsAnotherInstanceRunning(Context& ctx) {
    ctx.trace().write("IsAnotherInstanceRunning - Entry\r\n");
    tracef(ctx.trace(),
           "IsAnotherInstanceRunning = m_dwLastError = %X, ERROR_ALREADY_EXISTS = %X\r\n",
           ctx.state.m_dwLastError, kErrorAlreadyExists);
    return ctx.state.m_dwLastError == kErrorAlreadyExists;
}

void ClearInstanceMutex(Context& ctx) {
    ctx.trace().write("ClearInstanceMutex - Entry\r\n");
    ctx.sys.instanceLock().release();
}

bool IsRunningAsAdmin(Context& ctx) {
    const platform::AdminCheck check = ctx.sys.admin().check(ctx.trace());
    // A check that could not be made ends before its verdict.
    if (check == platform::AdminCheck::Undecided) return false;
    const bool result = check == platform::AdminCheck::Administrator;
    ctx.trace().write(result ? "Running as Admin\r\n" : "NOT Running as Admin!\r\n");
    return result;
}

void DetectAutoLoad(Context& ctx) {
    ShellState& s = ctx.state;
    s.autoLoadMode = false;
    s.modulePath.clear();
    s.autoLoadFileName.clear();
    s.autoLoadFilePath.clear();

    platform::Files& files = ctx.sys.files();
    s.modulePath = fitField(files.executablePath(), kPathSize);
    const std::string& path = s.modulePath;
    if (path.size() < 8) return;
    if (!endsWithIgnoringCase(path, "AUTO.EXE")) return;
    const size_t slash = path.rfind(files.folderSeparator());
    if (slash == std::string::npos) return;
    const std::string folder = path.substr(0, slash + 1);

    const std::vector<std::string> matches = files.binFilesIn(folder);
    if (matches.empty()) return;
    // Exactly one image beside the program, or none is taken.
    if (matches.size() >= 2) return;
    s.autoLoadFilePath = fitField(folder + matches.front(), kPathSize);
    s.autoLoadFileName = fitField(matches.front(), kPathSize);
    s.autoLoadMode = true;
}

std::optional<int> runStartupChecks(Context& ctx) {
    const platform::Result<void> locked = CreateSingleInstance(ctx);
    if (IsAnotherInstanceRunning(ctx)) {
        platform::box(ctx.ui(), kAnotherInstanceText);
        return 0;
    }
    // Without the lock nothing keeps another tool off the printers.
    if (!locked) {
        platform::box(ctx.ui(), "Error", noInstanceLockText(locked.reason()));
        return 1;
    }
    if (!IsRunningAsAdmin(ctx)) {
        platform::box(ctx.ui(), "Error", kNotAdminText);
        ctx.trace().write("Not running as admin!!!!!!!!!\r\n");
        return 0;
    }
    ctx.trace().write("Running as admin\r\n");
    DetectAutoLoad(ctx);
    return std::nullopt;
}

}  // namespace kv
