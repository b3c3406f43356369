#include "platform/win32/ConsoleCtrlTermination.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace kv::platform::win32 {

namespace {

std::atomic<ConsoleCtrlTermination*> current{nullptr};

BOOL WINAPI onCtrl(DWORD ctrlType) {
    ConsoleCtrlTermination* self = current.load();
    return self && self->deliver(ctrlType) ? TRUE : FALSE;
}

}  // namespace

// The routine is registered for the object's whole life and never under our
// lock: the system holds its own console lock while it runs the routines,
// so taking ours around SetConsoleCtrlHandler could wait on each other.
ConsoleCtrlTermination::ConsoleCtrlTermination() {
    current.store(this);
    ::SetConsoleCtrlHandler(onCtrl, TRUE);
}

ConsoleCtrlTermination::~ConsoleCtrlTermination() {
    stop();
    // Returns once no routine runs: the system takes its console lock here.
    ::SetConsoleCtrlHandler(onCtrl, FALSE);
    ConsoleCtrlTermination* self = this;
    current.compare_exchange_strong(self, nullptr);
}

EndRequest ConsoleCtrlTermination::requestFor(unsigned long ctrlType) {
    switch (ctrlType) {
        case CTRL_C_EVENT: return {SIGINT, true, "Ctrl+C"};
        case CTRL_BREAK_EVENT: return {SIGTERM, true, "Ctrl+Break"};
        case CTRL_CLOSE_EVENT: return {SIGTERM, false, "closing the console"};
        case CTRL_LOGOFF_EVENT: return {SIGTERM, false, "logoff"};
        case CTRL_SHUTDOWN_EVENT: return {SIGTERM, false, "shutdown"};
        default: return {0, false, ""};
    }
}

bool ConsoleCtrlTermination::deliver(unsigned long ctrlType) {
    const EndRequest request = requestFor(ctrlType);
    if (request.signalNumber == 0) return false;
    std::unique_lock lock(mutex_);
    // One request at a time: a second waits until the first is handled.
    idle_.wait(lock, [this] { return !running_; });
    if (!handler_) return false;
    running_ = true;
    Handler handler = handler_;
    lock.unlock();
    handler(request);
    lock.lock();
    running_ = false;
    idle_.notify_all();
    return true;
}

void ConsoleCtrlTermination::watch(Handler handler) {
    stop();
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ConsoleCtrlTermination::stop() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !running_; });
    handler_ = nullptr;
}

}  // namespace kv::platform::win32

namespace kv::platform {

// Windows raises no signal for a broken pipe.
void ignoreBrokenPipe() {}

}  // namespace kv::platform
