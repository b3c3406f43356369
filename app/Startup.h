#pragma once
#include <optional>
#include <string>

#include "platform/Result.h"
#include "state/Context.h"

namespace kv {

inline constexpr const char* kAnotherInstanceText =
    "Another KV tool is currently running\rPlease try again later";
inline constexpr const char* kNotAdminText = "Not running as admin, please run as Adminstrator";

// What every front end says when the lock could not be tried at all.
inline std::string noInstanceLockText(const std::string& reason) {
    return "cannot take the instance lock: " + reason;
}

// Takes the lock (m_dwLastError says whether another tool holds it); a
// failure when it could not be tried at all.
platform::Result<void> CreateSingleInstance(Context& ctx);
[[nodiscard]] bool IsAnotherInstanceRunning(Context& ctx);
void ClearInstanceMutex(Context& ctx);
[[nodiscard]] bool IsRunningAsAdmin(Context& ctx);
void DetectAutoLoad(Context& ctx);

// The checks before the dialog opens: instance lock, administrator rights,
// automatic-load detection. Returns the exit code when the program must end:
// 0 after the box of a held lock or missing rights, 1 after the box of a
// lock that could not be tried.
std::optional<int> runStartupChecks(Context& ctx);

}  // namespace kv
