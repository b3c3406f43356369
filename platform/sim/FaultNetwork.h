#pragma once
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "platform/Network.h"

namespace kv::platform::sim {

// Passes everything to a real Network and fails chosen steps on request,
// so tests reach the failure paths that a loopback peer cannot provoke.
// It also records where connects went.
class FaultNetwork final : public Network {
public:
    struct Faults {
        bool startupFails = false;
        bool openFails = false;
        bool connectFails = false;
        // Sends that succeed before every further one fails (-1: never fail).
        int sendsBeforeFailure = -1;
        // The next receives fail with this many calls passed through first
        // (-1: never fail).
        int receivesBeforeFailure = -1;
        int errorCode = 10055;  // reported by lastError() for a made-up failure
        // Short sends: at most this many bytes go out per send (0: all).
        size_t sendLimit = 0;
        // Slow sends, as to a printer that takes a few bytes at a time: each
        // send uses this much of its budget before the bytes go out; one
        // given no more than that fails, its bound run out (0: no cost).
        uint32_t sendCostMs = 0;
    };
    struct Connect {
        uint32_t address;
        uint16_t port;
    };

    explicit FaultNetwork(Network& inner) : inner_(inner) {}

    void setFaults(const Faults& faults);
    std::vector<Connect> connects() const;
    int cleanups() const;
    // Bytes the inner network took in successful sends, over all sockets.
    uint64_t bytesSent() const;
    // Sockets opened through here and not closed yet.
    size_t openCount() const;

    bool startup() override;
    void cleanup() override;
    SocketHandle openTcp() override;
    bool connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeoutMs) override;
    int64_t sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                       SendBudget& budget) override;
    int64_t receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                          uint32_t timeoutMs) override;
    // Each target counts as a connect; connectFails refuses them all.
    std::vector<ConnectAnswer> sweepConnects(const std::vector<ConnectTarget>& targets,
                                             const SweepRules& rules) override;
    void close(SocketHandle socket) override;
    int lastError() const override;
    NetworkBounds bounds() const override { return inner_.bounds(); }
    void setBounds(const NetworkBounds& bounds) override { inner_.setBounds(bounds); }
    SocketHandle listen(uint32_t address, uint16_t port) override {
        return opened(inner_.listen(address, port));
    }
    uint16_t localPort(SocketHandle socket) override { return inner_.localPort(socket); }
    SocketHandle accept(SocketHandle listener) override { return opened(inner_.accept(listener)); }
    bool waitReadable(SocketHandle socket, uint32_t timeoutMs) override {
        return inner_.waitReadable(socket, timeoutMs);
    }
    void shutdown(SocketHandle socket) override { inner_.shutdown(socket); }

private:
    // True when this step is to fail; remembers that lastError is ours.
    bool injected(bool fails);
    SocketHandle opened(SocketHandle socket);

    Network& inner_;
    mutable std::mutex mutex_;
    Faults faults_;
    std::vector<Connect> connects_;
    int cleanups_ = 0;
    uint64_t bytesSent_ = 0;
    std::set<int64_t> open_;
    bool lastWasInjected_ = false;
};

}  // namespace kv::platform::sim
