#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/Format.h"

namespace kv::platform {

// The debug trace. Lines are written exactly as given (a trailing "\r\n"
// included); a sink decides how to show them.
class Trace {
public:
    virtual ~Trace() = default;
    virtual void write(std::string_view line) = 0;
    // Where a trace that echoes its lines (--trace) puts them: stderr when
    // empty. A trace that does not echo ignores it.
    using EchoSink = std::function<void(std::string_view line)>;
    virtual void echoThrough(EchoSink) {}
};

// printf-style line. Only literal formats belong here; device data goes in
// as an argument, escaped with escapeDeviceText.
void tracef(Trace& trace, const char* format, ...) KV_PRINTF(2, 3);

// Bytes from a printer made safe for a trace line: printable ASCII stays,
// everything else becomes \xHH (and the backslash itself \\).
std::string escapeDeviceText(std::string_view bytes);

// Discards everything; for callers that need a Trace but no output.
class NullTrace final : public Trace {
public:
    void write(std::string_view) override {}
};

}  // namespace kv::platform
