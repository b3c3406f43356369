#include "platform/win32/DebugStringTrace.h"

#include <windows.h>

#include <string>

namespace kv::platform::win32 {

void DebugStringTrace::write(std::string_view line) {
    const std::string text(line);
    ::OutputDebugStringA(text.c_str());
    if (echoing_) echo_.write(text);
}

void DebugStringTrace::echoThrough(EchoSink sink) {
    if (echoing_) echo_.redirect(std::move(sink));
}

}  // namespace kv::platform::win32
