#pragma once
#include <condition_variable>
#include <mutex>

#include "platform/TerminationSignals.h"

namespace kv::platform::win32 {

// The console's end requests through SetConsoleCtrlHandler: Ctrl+C arrives
// as SIGINT, Ctrl+Break, closing the console window, logoff and shutdown as
// SIGTERM. Only Ctrl+C and Ctrl+Break can wait: after the others the system
// ends the process once the handler returns. The system calls the handler
// on a thread of its own, where any code may run; requests are handed to
// the handler one after the other. One object per process.
class ConsoleCtrlTermination final : public TerminationSignals {
public:
    ConsoleCtrlTermination();
    ~ConsoleCtrlTermination() override;
    ConsoleCtrlTermination(const ConsoleCtrlTermination&) = delete;
    ConsoleCtrlTermination& operator=(const ConsoleCtrlTermination&) = delete;

    void watch(Handler handler) override;
    void stop() override;

    // The request a console control event stands for; signal 0 for none.
    static EndRequest requestFor(unsigned long ctrlType);

    // What the system's handler routine does with one event: true when it
    // was handed to the handler.
    bool deliver(unsigned long ctrlType);

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    Handler handler_;
    bool running_ = false;
};

}  // namespace kv::platform::win32
