#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

namespace kv::bench {

// A TCP printer on loopback that takes every byte it is sent and does
// nothing with it, one connection after another, on a thread of its own:
// the receiving end costs as little as it can, so what is measured is the
// sender.
class DiscardingPrinter {
public:
    DiscardingPrinter();
    ~DiscardingPrinter();
    DiscardingPrinter(const DiscardingPrinter&) = delete;
    DiscardingPrinter& operator=(const DiscardingPrinter&) = delete;

    uint16_t port() const { return port_; }
    uint64_t bytesTaken() const { return taken_; }

private:
    void serve();
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> taken_{0};
    std::thread thread_;
};

// A loopback port with nothing behind it: a connect there is refused at once.
uint16_t closedLoopbackPort();

}  // namespace kv::bench
