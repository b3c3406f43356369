#pragma once
#include <functional>
#include <mutex>
#include <string_view>

namespace kv::platform {

// The trace's echo for --trace, one line per write with the device-debug
// service's "\r" dropped: to stderr, or, while a view redraws rows in place
// on the same terminal, to that view, which puts it above its rows.
class TraceEcho {
public:
    // Takes one line, without its newline; it must not block.
    using Sink = std::function<void(std::string_view line)>;

    void write(std::string_view line);
    // Empty: stderr again. Once it returns, the sink it replaced is not
    // called any more.
    void redirect(Sink sink);

private:
    std::mutex mutex_;
    Sink sink_;
};

}  // namespace kv::platform
