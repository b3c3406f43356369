#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kv::platform {

// A TCP socket. A small value with an explicit invalid state; a handle that
// was closed never names another socket later.
struct SocketHandle {
    int64_t value = -1;
    bool valid() const { return value >= 0; }
    static constexpr SocketHandle invalid() { return SocketHandle{}; }
    friend bool operator==(SocketHandle, SocketHandle) = default;
};

// How long a blocking step may wait before it counts as failed.
struct NetworkBounds {
    uint32_t connectMs = 10000;
    uint32_t receiveMs = 30000;
    uint32_t sendMs = 30000;
};

// What is left of one send bound that several sends share (one block of an
// image, however many sends it takes): each send waits at most what is left
// and takes off the time it used.
struct SendBudget {
    uint32_t leftMs = 0;
};

// One address of a connect sweep (network order; the port in host order).
struct ConnectTarget {
    uint32_t address = 0;
    uint16_t port = 0;
};

// What one address did in a connect sweep.
enum class ConnectAnswer : uint8_t {
    Untried,   // the sweep stopped first, or this machine had no socket for it
    Accepted,  // it took the connection (closed again at once)
    Refused,   // it refused, or it or its network is unreachable
    Silent,    // no answer within the bound
};

struct SweepRules {
    // Each connect's bound, from its own start.
    uint32_t timeoutMs = 1000;
    // Connects open at once at most; the system's limits may allow fewer.
    size_t inFlight = 1024;
    // Asked at least every 50 ms; true ends the sweep, and the connects in
    // flight are given up (Untried). None: never.
    std::function<bool()> stopped;
    // Each answer but Untried as it comes, on the sweeping thread.
    std::function<void(size_t index, ConnectAnswer answer)> answered;
};

// TCP over IPv4. Addresses are 32-bit values in network byte order (the
// form the dotted-address conversion gives); ports are in host order.
class Network {
public:
    virtual ~Network() = default;

    // Start and end the use of the socket library, where the system has such
    // a step; false when it cannot start.
    [[nodiscard]] virtual bool startup() = 0;
    virtual void cleanup() = 0;

    // A stream socket, not yet connected; invalid on failure (see lastError).
    virtual SocketHandle openTcp() = 0;
    // Connects within bounds().connectMs.
    [[nodiscard]] bool connect(SocketHandle socket, uint32_t address, uint16_t port) {
        return connectWithin(socket, address, port, bounds().connectMs);
    }
    // The same within a bound of the caller's (a wrapper with bounds of its
    // own over a shared network).
    [[nodiscard]] virtual bool connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                                             uint32_t timeoutMs) = 0;
    // One send within `budget`: the bytes taken (fewer than offered when the
    // budget ran out part way), or -1. A budget that has run out sends
    // nothing (the error is a time-out).
    virtual int64_t sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                               SendBudget& budget) = 0;
    // One send with a bound of its own, bounds().sendMs.
    int64_t send(SocketHandle socket, const uint8_t* data, size_t length) {
        SendBudget budget{bounds().sendMs};
        return sendWithin(socket, data, length, budget);
    }
    // One receive: bytes received, 0 when the peer closed, negative on an
    // error or when bounds().receiveMs ran out.
    int64_t receive(SocketHandle socket, uint8_t* buffer, size_t capacity) {
        return receiveWithin(socket, buffer, capacity, bounds().receiveMs);
    }
    virtual int64_t receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                                  uint32_t timeoutMs) = 0;
    // Connects to many addresses at once (non-blocking connects waited for
    // together) and closes each socket as soon as it has answered: an
    // answer per target, in their order. Needs startup() like every socket.
    virtual std::vector<ConnectAnswer> sweepConnects(const std::vector<ConnectTarget>& targets,
                                                     const SweepRules& rules) = 0;
    // Closing a handle that is invalid or already closed does nothing.
    virtual void close(SocketHandle socket) = 0;
    // The system's error code of this thread's last failed step.
    virtual int lastError() const = 0;

    virtual NetworkBounds bounds() const = 0;
    virtual void setBounds(const NetworkBounds& bounds) = 0;

    // Server side (the printer emulator). Port 0 picks a free port.
    virtual SocketHandle listen(uint32_t address, uint16_t port) = 0;
    virtual uint16_t localPort(SocketHandle socket) = 0;
    // Waits for the next connection; invalid on error or after shutdown().
    virtual SocketHandle accept(SocketHandle listener) = 0;
    // Waits up to timeoutMs until a receive would not block (data, peer
    // closed, or shut down); false when the time ran out.
    [[nodiscard]] virtual bool waitReadable(SocketHandle socket, uint32_t timeoutMs) = 0;
    // Ends the traffic on a socket and wakes every wait on it; may be called
    // from another thread while one waits. The handle still needs close().
    virtual void shutdown(SocketHandle socket) = 0;
};

}  // namespace kv::platform
