#pragma once
#include <atomic>
#include <memory>
#include <thread>

#include "platform/TerminationSignals.h"

namespace kv::platform::linux_impl {

// SIGINT, SIGTERM and SIGHUP taken with sigwait on a thread of its own. The
// constructor blocks them in the calling thread, and every thread started
// after it inherits that, so build it before any other thread. Each can
// wait: the program lives on after a closed terminal.
class SigwaitTermination final : public TerminationSignals {
public:
    SigwaitTermination();
    // Stops, then gives the constructing thread its former signal mask back.
    ~SigwaitTermination() override;
    void watch(Handler handler) override;
    void stop() override;

    // Sends signalNumber to this whole process, as another program would.
    static void signalProcess(int signalNumber);

private:
    struct Mask;
    std::unique_ptr<Mask> previous_;
    Handler handler_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};

}  // namespace kv::platform::linux_impl
