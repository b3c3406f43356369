#pragma once
#include <functional>

namespace kv::platform {

// Delivers the requests to end the program (SIGINT, SIGTERM) as an ordinary
// call on a thread of its own, where any code may run, unlike in a signal
// handler.
class TerminationSignals {
public:
    using Handler = std::function<void(int signalNumber)>;
    virtual ~TerminationSignals() = default;
    // Starts delivering to handler, one request after the other; one handler
    // at a time.
    virtual void watch(Handler handler) = 0;
    // Stops delivering; returns once the handler is no longer running. Not
    // from inside the handler.
    virtual void stop() = 0;
};

}  // namespace kv::platform
