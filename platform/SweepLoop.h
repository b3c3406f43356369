#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Network.h"

namespace kv::platform {

// The system's half of a connect sweep: its sockets begun, waited for and
// closed. runSweep keeps what every system shares: the order, each
// connect's bound, the room left, the stop.
class SweepSockets {
public:
    using Raw = uint64_t;  // a descriptor, or a SOCKET
    struct Begun {
        // In flight: the socket to wait for.
        std::optional<Raw> socket;
        // Answered at once (refused, unreachable, or connected on the spot).
        std::optional<ConnectAnswer> answer;
        // Neither: no room on this machine now (descriptors, ports, buffers).
    };
    virtual ~SweepSockets() = default;
    // How many sockets the sweep may hold open at once.
    virtual size_t room() = 0;
    virtual Begun begin(const ConnectTarget& target) = 0;
    // Waits at most `ms` for any of `sockets` to answer; answers[k] gets
    // sockets[k]'s answer once it has one.
    virtual void wait(const std::vector<Raw>& sockets, uint32_t ms,
                      std::vector<std::optional<ConnectAnswer>>& answers) = 0;
    virtual void close(Raw socket) = 0;
};

// Network::sweepConnects over a system's sockets.
std::vector<ConnectAnswer> runSweep(SweepSockets& sockets,
                                    const std::vector<ConnectTarget>& targets,
                                    const SweepRules& rules);

}  // namespace kv::platform
