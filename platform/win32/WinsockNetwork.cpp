#include "platform/win32/WinsockNetwork.h"

// Winsock's fd_set is a counted array of this size: a sweep's select()
// takes every socket in flight at once.
#define FD_SETSIZE 512
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "platform/SweepLoop.h"

namespace kv::platform::win32 {

namespace {

thread_local int tlsLastError = 0;

using SteadyClock = std::chrono::steady_clock;
using Entry = WinsockNetwork::Entry;

int64_t failed() {
    tlsLastError = ::WSAGetLastError();
    return -1;
}

int64_t msUntil(SteadyClock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
        .count();
}

SteadyClock::time_point deadlineIn(uint32_t ms) {
    return SteadyClock::now() + std::chrono::milliseconds(ms);
}

enum class Wait { Read, Write, Connect };

// 1: ready (or shut down: the next call says so), 0: the deadline passed
// (WSAETIMEDOUT), -1: error. A deadline already passed still looks once, so
// a wait of 0 ms is a poll, as on Linux.
int waitUntil(const Entry& e, Wait what, SteadyClock::time_point deadline) {
    const SOCKET s = static_cast<SOCKET>(e.socket);
    for (bool looked = false;; looked = true) {
        if (e.shut.load()) return 1;
        const int64_t left = std::max<int64_t>(msUntil(deadline), 0);
        if (left == 0 && looked) {
            tlsLastError = WSAETIMEDOUT;
            return 0;
        }
        const int64_t slice = std::min<int64_t>(left, WinsockNetwork::kWakeSliceMs);
        timeval tv{0, static_cast<long>(slice * 1000)};
        fd_set ready;
        fd_set failures;
        FD_ZERO(&ready);
        FD_ZERO(&failures);
        FD_SET(s, &ready);
        FD_SET(s, &failures);
        const int r =
            what == Wait::Read
                ? ::select(0, &ready, nullptr, nullptr, &tv)
                : ::select(0, nullptr, &ready, what == Wait::Connect ? &failures : nullptr, &tv);
        if (r > 0) {
            if (what == Wait::Connect && FD_ISSET(s, &failures)) {
                int error = 0;
                int size = sizeof error;
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
                tlsLastError = error != 0 ? error : WSAECONNREFUSED;
                return -1;
            }
            return 1;
        }
        if (r < 0 && ::WSAGetLastError() != WSAEINTR) return static_cast<int>(failed());
    }
}

bool makeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

sockaddr_in ipv4(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = htons(port);
    return a;
}

int chunk(size_t length) { return length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length); }

SOCKET newTcpSocket() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        failed();
        return s;
    }
    if (!makeNonBlocking(s)) {
        failed();
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

static_assert(WinsockNetwork::kSweepSockets <= FD_SETSIZE);

// What a finished connect's error says of the address.
ConnectAnswer answerOf(int error) {
    if (error == 0) return ConnectAnswer::Accepted;
    if (error == WSAETIMEDOUT) return ConnectAnswer::Silent;
    return ConnectAnswer::Refused;  // refused, unreachable, reset
}

class WinsockSweepSockets final : public SweepSockets {
public:
    size_t room() override { return WinsockNetwork::kSweepSockets; }

    Begun begin(const ConnectTarget& target) override {
        const SOCKET s = newTcpSocket();
        if (s == INVALID_SOCKET) return {};  // no buffers or handles: no room now
        const sockaddr_in to = ipv4(target.address, target.port);
        if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            ::closesocket(s);
            return {std::nullopt, ConnectAnswer::Accepted};
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return {static_cast<Raw>(s), std::nullopt};
        ::closesocket(s);
        if (error == WSAENOBUFS || error == WSAEMFILE) return {};
        return {std::nullopt, answerOf(error)};
    }

    void wait(const std::vector<Raw>& sockets, uint32_t ms,
              std::vector<std::optional<ConnectAnswer>>& answers) override {
        fd_set connected;
        fd_set failed;
        FD_ZERO(&connected);
        FD_ZERO(&failed);
        for (const Raw s : sockets) {
            FD_SET(static_cast<SOCKET>(s), &connected);
            FD_SET(static_cast<SOCKET>(s), &failed);
        }
        timeval tv{0, static_cast<long>(ms) * 1000};
        if (::select(0, nullptr, &connected, &failed, &tv) <= 0) return;
        for (size_t k = 0; k < sockets.size(); ++k) {
            const SOCKET s = static_cast<SOCKET>(sockets[k]);
            if (FD_ISSET(s, &failed)) {
                int error = 0;
                int size = sizeof error;
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
                answers[k] = error == 0 ? ConnectAnswer::Refused : answerOf(error);
            } else if (FD_ISSET(s, &connected)) {
                answers[k] = ConnectAnswer::Accepted;
            }
        }
    }

    void close(Raw socket) override { ::closesocket(static_cast<SOCKET>(socket)); }
};

}  // namespace

WinsockNetwork::WinsockNetwork(NetworkBounds bounds) : bounds_(bounds) {}

WinsockNetwork::~WinsockNetwork() {
    std::lock_guard lock(mutex_);
    for (const auto& [id, e] : open_) ::closesocket(static_cast<SOCKET>(e->socket));
}

bool WinsockNetwork::startup() {
    WSADATA data{};
    const int r = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (r != 0) {
        tlsLastError = r;
        return false;
    }
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        ::WSACleanup();
        tlsLastError = WSAVERNOTSUPPORTED;
        return false;
    }
    startups_.fetch_add(1);
    return true;
}

// Winsock counts startups per process, not per caller: a cleanup with no
// startup of its own (the program's end cleans up whether or not a search
// ever started sockets) would end the session of another part of the
// process, and every socket with it.
void WinsockNetwork::cleanup() {
    int held = startups_.load();
    while (held > 0 && !startups_.compare_exchange_weak(held, held - 1)) {
    }
    if (held > 0) ::WSACleanup();
}

SocketHandle WinsockNetwork::adopt(uintptr_t s) {
    auto e = std::make_shared<Entry>();
    e->socket = s;
    std::lock_guard lock(mutex_);
    const int64_t id = next_++;
    open_.emplace(id, std::move(e));
    return SocketHandle{id};
}

std::shared_ptr<Entry> WinsockNetwork::find(SocketHandle socket) const {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(socket.value);
    if (it == open_.end()) {
        tlsLastError = WSAENOTSOCK;
        return nullptr;
    }
    return it->second;
}

SocketHandle WinsockNetwork::openTcp() {
    const SOCKET s = newTcpSocket();
    return s == INVALID_SOCKET ? SocketHandle::invalid() : adopt(s);
}

bool WinsockNetwork::connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                                   uint32_t timeoutMs) {
    const auto e = find(socket);
    if (!e) return false;
    const SOCKET s = static_cast<SOCKET>(e->socket);
    const sockaddr_in to = ipv4(address, port);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return failed(), false;
    if (waitUntil(*e, Wait::Connect, deadlineIn(timeoutMs)) != 1) return false;
    if (e->shut.load()) {
        tlsLastError = WSAESHUTDOWN;
        return false;
    }
    return true;
}

int64_t WinsockNetwork::sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                                   SendBudget& budget) {
    const auto e = find(socket);
    if (!e) return -1;
    if (length == 0) return 0;
    const SOCKET s = static_cast<SOCKET>(e->socket);
    // One deadline for the whole call: a peer that keeps taking a little
    // must not stretch it.
    const auto deadline = deadlineIn(budget.leftMs);
    size_t sent = 0;
    while (sent < length) {
        if (msUntil(deadline) <= 0) {
            tlsLastError = WSAETIMEDOUT;
            break;
        }
        const int r =
            ::send(s, reinterpret_cast<const char*>(data + sent), chunk(length - sent), 0);
        if (r > 0) {
            sent += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK && !e->shut.load()) {
            if (waitUntil(*e, Wait::Write, deadline) == 1) continue;
        } else {
            failed();
        }
        break;
    }
    budget.leftMs = static_cast<uint32_t>(std::max<int64_t>(msUntil(deadline), 0));
    return sent > 0 ? static_cast<int64_t>(sent) : -1;
}

int64_t WinsockNetwork::receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                                      uint32_t timeoutMs) {
    const auto e = find(socket);
    if (!e) return -1;
    const SOCKET s = static_cast<SOCKET>(e->socket);
    const auto deadline = deadlineIn(timeoutMs);
    for (;;) {
        if (waitUntil(*e, Wait::Read, deadline) != 1) return -1;
        const int r = ::recv(s, reinterpret_cast<char*>(buffer), chunk(capacity), 0);
        if (r >= 0) return r;
        const int error = ::WSAGetLastError();
        // A socket shut down here reads as closed, as on Linux.
        if (error == WSAESHUTDOWN) return 0;
        if (error != WSAEWOULDBLOCK && error != WSAEINTR) return failed();
        if (e->shut.load()) return 0;
    }
}

std::vector<ConnectAnswer> WinsockNetwork::sweepConnects(const std::vector<ConnectTarget>& targets,
                                                         const SweepRules& rules) {
    WinsockSweepSockets sockets;
    return runSweep(sockets, targets, rules);
}

void WinsockNetwork::close(SocketHandle socket) {
    std::shared_ptr<Entry> e;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(socket.value);
        if (it == open_.end()) return;
        e = std::move(it->second);
        open_.erase(it);
    }
    ::closesocket(static_cast<SOCKET>(e->socket));
}

int WinsockNetwork::lastError() const { return tlsLastError; }

NetworkBounds WinsockNetwork::bounds() const {
    std::lock_guard lock(mutex_);
    return bounds_;
}

void WinsockNetwork::setBounds(const NetworkBounds& bounds) {
    std::lock_guard lock(mutex_);
    bounds_ = bounds;
}

SocketHandle WinsockNetwork::listen(uint32_t address, uint16_t port) {
    const SOCKET s = newTcpSocket();
    if (s == INVALID_SOCKET) return SocketHandle::invalid();
    // A second listener on the same port is refused, not let in to share it.
    const BOOL exclusive = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
    const sockaddr_in at = ipv4(address, port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(s, 8) != 0) {
        failed();
        ::closesocket(s);
        return SocketHandle::invalid();
    }
    return adopt(s);
}

uint16_t WinsockNetwork::localPort(SocketHandle socket) {
    const auto e = find(socket);
    if (!e) return 0;
    sockaddr_in at{};
    int size = sizeof at;
    if (::getsockname(static_cast<SOCKET>(e->socket), reinterpret_cast<sockaddr*>(&at), &size) !=
        0) {
        failed();
        return 0;
    }
    return ntohs(at.sin_port);
}

SocketHandle WinsockNetwork::accept(SocketHandle listener) {
    const auto e = find(listener);
    if (!e) return SocketHandle::invalid();
    for (;;) {
        if (e->shut.load()) {
            tlsLastError = WSAESHUTDOWN;
            return SocketHandle::invalid();
        }
        const SOCKET peer = ::accept(static_cast<SOCKET>(e->socket), nullptr, nullptr);
        if (peer != INVALID_SOCKET) {
            if (!makeNonBlocking(peer)) {
                failed();
                ::closesocket(peer);
                return SocketHandle::invalid();
            }
            return adopt(peer);
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            // No bound: a listener waits until a peer comes or it is shut.
            if (waitUntil(*e, Wait::Read, SteadyClock::time_point::max()) < 0) {
                return SocketHandle::invalid();
            }
            continue;
        }
        if (error == WSAEINTR || error == WSAECONNRESET) continue;
        tlsLastError = error;
        return SocketHandle::invalid();
    }
}

bool WinsockNetwork::waitReadable(SocketHandle socket, uint32_t timeoutMs) {
    const auto e = find(socket);
    if (!e) return true;  // a receive fails at once
    return waitUntil(*e, Wait::Read, deadlineIn(timeoutMs)) != 0;
}

void WinsockNetwork::shutdown(SocketHandle socket) {
    const auto e = find(socket);
    if (!e) return;
    e->shut.store(true);
    ::shutdown(static_cast<SOCKET>(e->socket), SD_BOTH);
}

size_t WinsockNetwork::openCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

}  // namespace kv::platform::win32
