#include "platform/linux/TerminalSize.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace kv::platform::linux_impl {

std::optional<TerminalSize> terminalSizeOf(int fd) {
    winsize size{};
    if (::isatty(fd) != 1 || ::ioctl(fd, TIOCGWINSZ, &size) != 0) return std::nullopt;
    if (size.ws_col == 0 || size.ws_row == 0) return std::nullopt;
    return TerminalSize{size.ws_col, size.ws_row};
}

}  // namespace kv::platform::linux_impl
