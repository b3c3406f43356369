#pragma once
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Network.h"

namespace kv::platform::win32 {

// Network over Windows Sockets 2.2, with the bounds of the Linux build:
// connect waits at most connectMs, a receive at most receiveMs for its first
// byte, and a send gives up once its budget (sendMs for send()) has passed
// since the call began (the bound does not start again when part of the
// data goes out).
// Handles are numbered afresh for every socket, so a closed one never names
// a later socket. Thread-safe. Error codes are WSAGetLastError's
// (10061 refused, 10060 timed out, ...).
//
// Sockets stay non-blocking and every wait is a select() in slices of at
// most kWakeSliceMs: Windows wakes no select() or accept() when another
// thread shuts a socket down, so each slice looks whether that happened.
class WinsockNetwork final : public Network {
public:
    explicit WinsockNetwork(NetworkBounds bounds = {});
    ~WinsockNetwork() override;

    // WSAStartup(2.2) and WSACleanup; each startup needs its cleanup. A
    // cleanup beyond this object's startups does nothing.
    bool startup() override;
    void cleanup() override;

    SocketHandle openTcp() override;
    bool connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeoutMs) override;
    int64_t sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                       SendBudget& budget) override;
    int64_t receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                          uint32_t timeoutMs) override;
    // At most kSweepSockets connects in flight: one select() waits for
    // them all (FD_SETSIZE, 64 unless raised, is this file's to set).
    std::vector<ConnectAnswer> sweepConnects(const std::vector<ConnectTarget>& targets,
                                             const SweepRules& rules) override;
    void close(SocketHandle socket) override;
    int lastError() const override;

    NetworkBounds bounds() const override;
    void setBounds(const NetworkBounds& bounds) override;

    SocketHandle listen(uint32_t address, uint16_t port) override;
    uint16_t localPort(SocketHandle socket) override;
    SocketHandle accept(SocketHandle listener) override;
    bool waitReadable(SocketHandle socket, uint32_t timeoutMs) override;
    void shutdown(SocketHandle socket) override;

    size_t openCount() const;

    static constexpr uint32_t kWakeSliceMs = 50;
    static constexpr size_t kSweepSockets = 512;

    struct Entry {
        uintptr_t socket;  // SOCKET
        std::atomic<bool> shut{false};
    };

private:
    SocketHandle adopt(uintptr_t s);
    std::shared_ptr<Entry> find(SocketHandle socket) const;

    mutable std::mutex mutex_;
    NetworkBounds bounds_;
    int64_t next_ = 1;
    std::map<int64_t, std::shared_ptr<Entry>> open_;
    std::atomic<int> startups_{0};
};

}  // namespace kv::platform::win32
