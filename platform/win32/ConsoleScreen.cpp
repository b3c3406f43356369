#include "platform/win32/ConsoleScreen.h"

#include <windows.h>

#include <cstdio>

namespace kv::platform::win32 {

namespace {

// Whether the console obeys the sequences: one that changes nothing on an
// empty line leaves the cursor where it was. A console that only keeps the
// flag (Wine's) prints it instead; that is wiped again.
bool obeysSequences(HANDLE out) {
    CONSOLE_SCREEN_BUFFER_INFO before{}, after{};
    if (!::GetConsoleScreenBufferInfo(out, &before)) return false;
    std::fflush(nullptr);
    const char probe[] = "\x1b[0K";
    DWORD count = 0;
    if (!::WriteConsoleA(out, probe, sizeof probe - 1, &count, nullptr) ||
        !::GetConsoleScreenBufferInfo(out, &after)) {
        return false;
    }
    if (after.dwCursorPosition.X == before.dwCursorPosition.X &&
        after.dwCursorPosition.Y == before.dwCursorPosition.Y) {
        return true;
    }
    ::FillConsoleOutputCharacterA(out, ' ', sizeof probe - 1, before.dwCursorPosition, &count);
    ::SetConsoleCursorPosition(out, before.dwCursorPosition);
    return false;
}

}  // namespace

ConsoleScreen::~ConsoleScreen() {
    if (restore_) ::SetConsoleMode(static_cast<HANDLE>(output_), modeBefore_);
}

std::optional<TerminalSize> ConsoleScreen::size() {
    std::call_once(once_, [this] {
        if (!output_) {
            output_ = ::GetStdHandle(standard_ == Standard::Output ? STD_OUTPUT_HANDLE
                                                                   : STD_ERROR_HANDLE);
        }
        const HANDLE out = static_cast<HANDLE>(output_);
        DWORD mode = 0;
        if (!::GetConsoleMode(out, &mode)) return;
        modeBefore_ = mode;
        restore_ = !(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
                   ::SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        on_ = ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) || restore_) && obeysSequences(out);
        if (restore_ && !on_) {
            ::SetConsoleMode(out, modeBefore_);
            restore_ = false;
        }
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
