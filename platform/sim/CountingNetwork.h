#pragma once
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/Network.h"

namespace kv::platform::sim {

// Passes everything to a real Network and counts what was sent to each
// address, so a printer's clock can wait for its own bytes.
class CountingNetwork : public Network {
public:
    explicit CountingNetwork(Network& inner) : inner_(inner) {}

    // Bytes sent to `address` (network order) so far.
    uint64_t sentTo(uint32_t address) const {
        std::lock_guard lock(mutex_);
        const auto it = sent_.find(address);
        return it == sent_.end() ? 0 : it->second;
    }
    // The address a socket was connected to (network order); 0: none.
    uint32_t peerOf(SocketHandle s) const {
        std::lock_guard lock(mutex_);
        const auto it = peer_.find(s.value);
        return it == peer_.end() ? 0 : it->second;
    }

    bool startup() override { return true; }
    void cleanup() override {}
    SocketHandle openTcp() override { return inner_.openTcp(); }
    bool connectWithin(SocketHandle s, uint32_t address, uint16_t port, uint32_t ms) override {
        {
            std::lock_guard lock(mutex_);
            peer_[s.value] = address;
        }
        return inner_.connectWithin(s, address, port, ms);
    }
    int64_t sendWithin(SocketHandle s, const uint8_t* data, size_t length,
                       SendBudget& budget) override {
        const int64_t n = inner_.sendWithin(s, data, length, budget);
        if (n > 0) {
            std::lock_guard lock(mutex_);
            sent_[peer_[s.value]] += static_cast<uint64_t>(n);
        }
        return n;
    }
    int64_t receiveWithin(SocketHandle s, uint8_t* b, size_t c, uint32_t ms) override {
        return inner_.receiveWithin(s, b, c, ms);
    }
    std::vector<ConnectAnswer> sweepConnects(const std::vector<ConnectTarget>& targets,
                                             const SweepRules& rules) override {
        return inner_.sweepConnects(targets, rules);
    }
    void close(SocketHandle s) override { inner_.close(s); }
    int lastError() const override { return inner_.lastError(); }
    NetworkBounds bounds() const override { return inner_.bounds(); }
    void setBounds(const NetworkBounds& b) override { inner_.setBounds(b); }
    SocketHandle listen(uint32_t a, uint16_t p) override { return inner_.listen(a, p); }
    uint16_t localPort(SocketHandle s) override { return inner_.localPort(s); }
    SocketHandle accept(SocketHandle l) override { return inner_.accept(l); }
    bool waitReadable(SocketHandle s, uint32_t ms) override { return inner_.waitReadable(s, ms); }
    void shutdown(SocketHandle s) override { inner_.shutdown(s); }

private:
    Network& inner_;
    mutable std::mutex mutex_;
    std::map<int64_t, uint32_t> peer_;  // socket -> address, network order
    std::map<uint32_t, uint64_t> sent_;
};

}  // namespace kv::platform::sim
