#include "platform/linux/PosixNetwork.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace kv::platform::linux_impl {

namespace {

thread_local int tlsLastError = 0;

int fail(int code) {
    tlsLastError = code;
    return -1;
}

using SteadyClock = std::chrono::steady_clock;

SteadyClock::time_point deadlineIn(uint32_t ms) {
    return SteadyClock::now() + std::chrono::milliseconds(ms);
}

int64_t msUntil(SteadyClock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
        .count();
}

// Waits for events on fd until the deadline, across interrupted calls.
// 1: ready, 0: time ran out, -1: error.
int waitUntil(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const int64_t left = msUntil(deadline);
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (r > 0) return 1;
        if (r == 0) {
            tlsLastError = ETIMEDOUT;
            return 0;
        }
        if (errno != EINTR) return fail(errno);
    }
}

int waitFor(int fd, short events, uint32_t timeoutMs) {
    return waitUntil(fd, events, deadlineIn(timeoutMs));
}

sockaddr_in ipv4(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = htons(port);
    return a;
}

}  // namespace

PosixNetwork::PosixNetwork(NetworkBounds bounds) : bounds_(bounds) {}

PosixNetwork::~PosixNetwork() {
    std::lock_guard lock(mutex_);
    for (const auto& [id, fd] : open_) ::close(fd);
}

SocketHandle PosixNetwork::adopt(int fd) {
    std::lock_guard lock(mutex_);
    const int64_t id = next_++;
    open_.emplace(id, fd);
    return SocketHandle{id};
}

int PosixNetwork::descriptor(SocketHandle socket) const {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(socket.value);
    if (it == open_.end()) return fail(EBADF);
    return it->second;
}

SocketHandle PosixNetwork::openTcp() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        tlsLastError = errno;
        return SocketHandle::invalid();
    }
    return adopt(fd);
}

bool PosixNetwork::connectWithin(SocketHandle socket, uint32_t address, uint16_t port,
                                 uint32_t timeoutMs) {
    const int fd = descriptor(socket);
    if (fd < 0) return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        tlsLastError = errno;
        return false;
    }

    const sockaddr_in to = ipv4(address, port);
    bool ok = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        ok = true;
    } else if (errno == EINPROGRESS || errno == EINTR) {
        if (waitFor(fd, POLLOUT, timeoutMs) == 1) {
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0) error = errno;
            if (error == 0) {
                ok = true;
            } else {
                tlsLastError = error;
            }
        }
    } else {
        tlsLastError = errno;
    }
    // Back to blocking, as the link expects; every wait is bounded by poll.
    ::fcntl(fd, F_SETFL, flags);
    return ok;
}

int64_t PosixNetwork::sendWithin(SocketHandle socket, const uint8_t* data, size_t length,
                                 SendBudget& budget) {
    const int fd = descriptor(socket);
    if (fd < 0) return -1;
    if (length == 0) return 0;
    // One deadline for the whole call: a peer that keeps taking a little
    // must not stretch it.
    const auto deadline = deadlineIn(budget.leftMs);
    size_t sent = 0;
    while (sent < length) {
        if (msUntil(deadline) <= 0) {
            tlsLastError = ETIMEDOUT;
            break;
        }
        const ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitUntil(fd, POLLOUT, deadline) == 1) continue;
        } else {
            tlsLastError = errno;
        }
        break;
    }
    budget.leftMs = static_cast<uint32_t>(std::max<int64_t>(msUntil(deadline), 0));
    return sent > 0 ? static_cast<int64_t>(sent) : -1;
}

int64_t PosixNetwork::receiveWithin(SocketHandle socket, uint8_t* buffer, size_t capacity,
                                    uint32_t timeoutMs) {
    const int fd = descriptor(socket);
    if (fd < 0) return -1;
    // One deadline across readiness that brings nothing.
    const auto deadline = deadlineIn(timeoutMs);
    for (;;) {
        const int ready = waitUntil(fd, POLLIN, deadline);
        if (ready != 1) return -1;
        const ssize_t n = ::recv(fd, buffer, capacity, MSG_DONTWAIT);
        if (n >= 0) return n;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return fail(errno);
    }
}

void PosixNetwork::close(SocketHandle socket) {
    int fd = -1;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(socket.value);
        if (it == open_.end()) return;
        fd = it->second;
        open_.erase(it);
    }
    ::close(fd);
}

int PosixNetwork::lastError() const { return tlsLastError; }

NetworkBounds PosixNetwork::bounds() const {
    std::lock_guard lock(mutex_);
    return bounds_;
}

void PosixNetwork::setBounds(const NetworkBounds& bounds) {
    std::lock_guard lock(mutex_);
    bounds_ = bounds;
}

SocketHandle PosixNetwork::listen(uint32_t address, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        tlsLastError = errno;
        return SocketHandle::invalid();
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = ipv4(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) < 0 || ::listen(fd, 8) < 0) {
        tlsLastError = errno;
        ::close(fd);
        return SocketHandle::invalid();
    }
    return adopt(fd);
}

uint16_t PosixNetwork::localPort(SocketHandle socket) {
    const int fd = descriptor(socket);
    if (fd < 0) return 0;
    sockaddr_in at{};
    socklen_t size = sizeof at;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) < 0) {
        tlsLastError = errno;
        return 0;
    }
    return ntohs(at.sin_port);
}

SocketHandle PosixNetwork::accept(SocketHandle listener) {
    const int fd = descriptor(listener);
    if (fd < 0) return SocketHandle::invalid();
    for (;;) {
        const int peer = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer >= 0) return adopt(peer);
        if (errno == EINTR || errno == ECONNABORTED) continue;
        tlsLastError = errno;
        return SocketHandle::invalid();
    }
}

bool PosixNetwork::waitReadable(SocketHandle socket, uint32_t timeoutMs) {
    const int fd = descriptor(socket);
    if (fd < 0) return true;  // a receive fails at once
    return waitFor(fd, POLLIN, timeoutMs) != 0;
}

void PosixNetwork::shutdown(SocketHandle socket) {
    const int fd = descriptor(socket);
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

size_t PosixNetwork::openCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

}  // namespace kv::platform::linux_impl
