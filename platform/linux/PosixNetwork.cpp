#include "platform/linux/PosixNetwork.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/SweepLoop.h"

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

// What a finished connect's error says of the address.
ConnectAnswer answerOf(int error) {
    if (error == 0) return ConnectAnswer::Accepted;
    if (error == ETIMEDOUT) return ConnectAnswer::Silent;
    return ConnectAnswer::Refused;  // refused, unreachable, prohibited, reset
}

// This machine's shortage, not the address's answer.
bool noRoom(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM ||
           error == EADDRNOTAVAIL || error == EAGAIN;
}

// Descriptors the program keeps free for itself while a sweep holds many.
constexpr uint64_t kDescriptorMargin = 128;

uint64_t openDescriptors(uint64_t guess) {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return guess;
    uint64_t open = 0;
    while (::readdir(folder)) ++open;
    ::closedir(folder);
    return open;
}

// The descriptors a sweep may hold: the soft limit raised toward what it
// wants, within the hard limit, for the sweep's time only (as the
// emulator's fleet raises its own; nothing here uses select()), less those
// open and a margin.
class DescriptorRoom {
public:
    explicit DescriptorRoom(size_t wanted) {
        if (::getrlimit(RLIMIT_NOFILE, &before_) != 0) return;
        const bool unlimited = before_.rlim_cur == RLIM_INFINITY;
        const uint64_t open = openDescriptors(unlimited ? 0 : before_.rlim_cur / 2);
        const uint64_t want = open + kDescriptorMargin + wanted;
        uint64_t soft = unlimited ? want : before_.rlim_cur;
        if (soft < want) {
            rlimit raised = before_;
            raised.rlim_cur = before_.rlim_max == RLIM_INFINITY
                                  ? want
                                  : std::min<uint64_t>(before_.rlim_max, want);
            raised_ = ::setrlimit(RLIMIT_NOFILE, &raised) == 0;
            if (raised_) soft = raised.rlim_cur;
        }
        room_ = open + kDescriptorMargin >= soft ? 1 : soft - open - kDescriptorMargin;
    }
    ~DescriptorRoom() {
        if (raised_) ::setrlimit(RLIMIT_NOFILE, &before_);
    }
    DescriptorRoom(const DescriptorRoom&) = delete;
    DescriptorRoom& operator=(const DescriptorRoom&) = delete;
    size_t room() const { return room_; }

private:
    rlimit before_{};
    bool raised_ = false;
    size_t room_ = 64;  // when the limit cannot be read
};

class PosixSweepSockets final : public SweepSockets {
public:
    explicit PosixSweepSockets(size_t room) : room_(room) {}
    size_t room() override { return room_; }

    Begun begin(const ConnectTarget& target) override {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) return {};
        const sockaddr_in to = ipv4(target.address, target.port);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            ::close(fd);
            return {std::nullopt, ConnectAnswer::Accepted};
        }
        const int error = errno;
        // Interrupted, a non-blocking connect goes on as if in progress.
        if (error == EINPROGRESS || error == EINTR) return {static_cast<Raw>(fd), std::nullopt};
        ::close(fd);
        if (noRoom(error)) return {};
        return {std::nullopt, answerOf(error)};
    }

    void wait(const std::vector<Raw>& sockets, uint32_t ms,
              std::vector<std::optional<ConnectAnswer>>& answers) override {
        polled_.clear();
        for (const Raw s : sockets) polled_.push_back({static_cast<int>(s), POLLOUT, 0});
        if (::poll(polled_.data(), polled_.size(), static_cast<int>(ms)) <= 0) return;
        for (size_t k = 0; k < polled_.size(); ++k) {
            if (polled_[k].revents == 0) continue;
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(polled_[k].fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0) error = errno;
            // Woken without an error and unable to write: no answer yet.
            if (error == 0 && !(polled_[k].revents & POLLOUT)) continue;
            answers[k] = answerOf(error);
        }
    }

    void close(Raw socket) override { ::close(static_cast<int>(socket)); }

private:
    const size_t room_;
    std::vector<pollfd> polled_;
};

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

std::vector<ConnectAnswer> PosixNetwork::sweepConnects(const std::vector<ConnectTarget>& targets,
                                                       const SweepRules& rules) {
    const DescriptorRoom descriptors(rules.inFlight);
    PosixSweepSockets sockets(descriptors.room());
    return runSweep(sockets, targets, rules);
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
