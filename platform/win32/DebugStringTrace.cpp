#include "platform/win32/DebugStringTrace.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace kv::platform::win32 {

namespace {
std::mutex stderrMutex;
}

void DebugStringTrace::write(std::string_view line) {
    const std::string text(line);
    ::OutputDebugStringA(text.c_str());
    if (!echo_) return;
    // Lines carry their own "\r\n"; the terminal gets one line per write.
    std::string shown;
    for (char c : text) {
        if (c != '\r') shown += c;
    }
    std::lock_guard lock(stderrMutex);
    std::fputs(shown.c_str(), stderr);
    if (shown.empty() || shown.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace kv::platform::win32
