#pragma once
#include <map>
#include <mutex>

#include "platform/Network.h"

namespace kv::platform::linux_impl {

// Network over POSIX sockets. Handles are numbered afresh for every socket,
// so a stale handle (one closed earlier) can never close a descriptor that
// has since been reused by something else. Thread-safe.
class PosixNetwork final : public Network {
public:
    explicit PosixNetwork(NetworkBounds bounds = {});
    ~PosixNetwork() override;

    bool startup() override { return true; }
    void cleanup() override {}

    SocketHandle openTcp() override;
    bool connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                       uint32_t timeoutMs) override;
    int64_t sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                       SendBudget& budget) override;
    int64_t receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                          uint32_t timeoutMs) override;
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

    // Sockets open now (for leak checks in tests).
    size_t openCount() const;

private:
    SocketHandle adopt(int fd);
    int descriptor(SocketHandle socket) const;

    mutable std::mutex mutex_;
    NetworkBounds bounds_;
    int64_t next_ = 1;
    std::map<int64_t, int> open_;
};

}  // namespace kv::platform::linux_impl
