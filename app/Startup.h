#pragma once
#include <optional>

#include "state/Context.h"

namespace kv {

inline constexpr const char* kAnotherInstanceText =
    "Another KV tool is currently running\rPlease try again later";
inline constexpr const char* kNotAdminText = "Not running as admin, please run as Adminstrator";

void CreateSingleInstance(Context& ctx);
[[nodiscard]] bool IsAnotherInstanceRunning(Context& ctx);
void ClearInstanceMutex(Context& ctx);
[[nodiscard]] bool IsRunningAsAdmin(Context& ctx);
void DetectAutoLoad(Context& ctx);

// The checks before the dialog opens: instance lock, administrator rights,
// automatic-load detection. Returns the exit code when the program must end.
std::optional<int> runStartupChecks(Context& ctx);

}  // namespace kv
