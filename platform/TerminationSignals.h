#pragma once
#include <functional>

namespace kv::platform {

// One request to end the program.
struct EndRequest {
    int signalNumber = 0;
    // False when the program is ended anyway as soon as the handler returns
    // (a closed console, logoff, shutdown): it cannot be put off.
    bool canWait = true;
    // What the user did, as a stop line names it: "SIGINT", "Ctrl+C", ...
    const char* source = "";
};

// The POSIX name of a termination signal's number ("SIGINT"); "" for others.
constexpr const char* terminationSignalName(int signalNumber) {
    switch (signalNumber) {
        case 1: return "SIGHUP";
        case 2: return "SIGINT";
        case 15: return "SIGTERM";
        default: return "";
    }
}

// Delivers the requests to end the program (SIGINT, SIGTERM, SIGHUP; on
// Windows the console's events) as an ordinary call on a thread of its own,
// where any code may run, unlike in a signal handler.
class TerminationSignals {
public:
    using Handler = std::function<void(const EndRequest& request)>;
    virtual ~TerminationSignals() = default;
    // Starts delivering to handler, one request after the other; one handler
    // at a time.
    virtual void watch(Handler handler) = 0;
    // Stops delivering; returns once the handler is no longer running. Not
    // from inside the handler.
    virtual void stop() = 0;
};

// Stops the watching when it goes, before what the handler uses goes.
class StopWatchingAtEnd {
public:
    explicit StopWatchingAtEnd(TerminationSignals& watcher) : watcher_(watcher) {}
    ~StopWatchingAtEnd() { watcher_.stop(); }
    StopWatchingAtEnd(const StopWatchingAtEnd&) = delete;
    StopWatchingAtEnd& operator=(const StopWatchingAtEnd&) = delete;

private:
    TerminationSignals& watcher_;
};

// Writing to a pipe nobody reads any more fails like any other write
// instead of ending the program (SIGPIPE on Linux; nothing to do on
// Windows).
void ignoreBrokenPipe();

}  // namespace kv::platform
