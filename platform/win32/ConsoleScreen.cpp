#include "platform/win32/ConsoleScreen.h"

#include <windows.h>

namespace kv::platform::win32 {

ConsoleScreen::~ConsoleScreen() {
    if (restore_) ::SetConsoleMode(static_cast<HANDLE>(output_), modeBefore_);
}

std::optional<TerminalSize> ConsoleScreen::size() {
    std::call_once(once_, [this] {
        if (!output_) output_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        if (!::GetConsoleMode(static_cast<HANDLE>(output_), &mode)) return;
        modeBefore_ = mode;
        if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
            on_ = true;
            return;
        }
        on_ = ::SetConsoleMode(static_cast<HANDLE>(output_),
                               mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
        restore_ = on_;
    });
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!on_ || !::GetConsoleScreenBufferInfo(static_cast<HANDLE>(output_), &info)) {
        return std::nullopt;
    }
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    const int lines = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (columns <= 0 || lines <= 0) return std::nullopt;
    return TerminalSize{static_cast<size_t>(columns), static_cast<size_t>(lines)};
}

}  // namespace kv::platform::win32
