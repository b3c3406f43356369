#include "platform/linux/SigwaitTermination.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace kv::platform::linux_impl {

struct SigwaitTermination::Mask {
    sigset_t set;
};

namespace {
sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

SigwaitTermination::SigwaitTermination() : previous_(std::make_unique<Mask>()) {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, &previous_->set);
}

SigwaitTermination::~SigwaitTermination() {
    stop();
    pthread_sigmask(SIG_SETMASK, &previous_->set, nullptr);
}

void SigwaitTermination::watch(Handler handler) {
    stop();
    handler_ = std::move(handler);
    stopping_ = false;
    thread_ = std::thread([this] {
        const sigset_t set = terminationSet();
        for (;;) {
            int signalNumber = 0;
            if (sigwait(&set, &signalNumber) != 0) continue;
            if (stopping_) return;
            handler_(EndRequest{signalNumber, true, terminationSignalName(signalNumber)});
        }
    });
}

void SigwaitTermination::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    // Wakes the waiting thread; the signal is blocked everywhere, so it
    // reaches nothing else.
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

void SigwaitTermination::signalProcess(int signalNumber) { ::kill(::getpid(), signalNumber); }

}  // namespace kv::platform::linux_impl

namespace kv::platform {

void ignoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace kv::platform
