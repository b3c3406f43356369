#pragma once
#include "platform/Trace.h"
#include "platform/TraceEcho.h"

namespace kv::platform::win32 {

// Each line goes whole to OutputDebugStringA, where a debugger or a
// debug-output viewer shows it; optionally echoed to stderr.
class DebugStringTrace final : public Trace {
public:
    explicit DebugStringTrace(bool echoToStderr = false) : echoing_(echoToStderr) {}
    void write(std::string_view line) override;
    void echoThrough(EchoSink sink) override;

private:
    const bool echoing_;
    TraceEcho echo_;
};

}  // namespace kv::platform::win32
