#include "bench/DiscardingPrinter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace kv::bench {

namespace {

int boundLoopbackSocket(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

DiscardingPrinter::DiscardingPrinter() {
    listener_ = boundLoopbackSocket(port_);
    if (listener_ >= 0 && ::listen(listener_, 4) == 0) thread_ = std::thread([this] { serve(); });
}

DiscardingPrinter::~DiscardingPrinter() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
}

void DiscardingPrinter::serve() {
    std::vector<char> buffer(1 << 20);
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        while (!stopping_) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 100) <= 0) continue;
            const ssize_t n = ::recv(connection, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            taken_ += static_cast<uint64_t>(n);
        }
        ::close(connection);
    }
}

uint16_t closedLoopbackPort() {
    uint16_t port = 0;
    const int fd = boundLoopbackSocket(port);
    if (fd >= 0) ::close(fd);
    return port;
}

}  // namespace kv::bench
