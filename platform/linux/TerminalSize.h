#pragma once
#include <optional>

#include "platform/Files.h"

namespace kv::platform::linux_impl {

// The window size of the terminal behind `fd` (TIOCGWINSZ); none when `fd`
// is no terminal or the terminal reports no columns (a serial line may not
// know its size).
std::optional<TerminalSize> terminalSizeOf(int fd);

}  // namespace kv::platform::linux_impl
