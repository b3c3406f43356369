#pragma once
#include <mutex>
#include <optional>

#include "platform/Files.h"

namespace kv::platform::win32 {

// A console screen buffer drawn on with cursor movement and erasing:
// virtual-terminal processing is switched on at the first ask and back to
// the console's own mode when this ends (the console is the user's shell's
// too). No size when the handle is no console, or the console does not
// obey the sequences (before Windows 10; Wine's keeps the flag and prints
// them): the view then writes lines.
class ConsoleScreen {
public:
    // The handle stays the caller's.
    explicit ConsoleScreen(void* output) : output_(output) {}
    enum class Standard { Output, Error };
    explicit ConsoleScreen(Standard which) : standard_(which) {}
    ~ConsoleScreen();
    ConsoleScreen(const ConsoleScreen&) = delete;
    ConsoleScreen& operator=(const ConsoleScreen&) = delete;

    // The window's columns and lines (not the buffer's, which may be far
    // taller).
    std::optional<TerminalSize> size();

private:
    void* output_ = nullptr;
    Standard standard_ = Standard::Output;
    std::once_flag once_;
    bool on_ = false;
    bool restore_ = false;
    unsigned long modeBefore_ = 0;
};

}  // namespace kv::platform::win32
