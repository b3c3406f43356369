#include "platform/linux/SyslogTrace.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kv::platform::linux_impl {

namespace {

// user facility, debug priority
constexpr const char* kPriority = "<15>";

uint64_t steadyMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

SyslogTrace::SyslogTrace(bool echoToStderr, std::string socketPath, uint64_t retryMs, Ticks ticks)
    : echoing_(echoToStderr),
      socketPath_(std::move(socketPath)),
      retryMs_(retryMs),
      ticks_(ticks ? std::move(ticks) : Ticks(steadyMs)),
      pid_(::getpid()) {}

SyslogTrace::~SyslogTrace() {
    if (fd_ >= 0) ::close(fd_);
}

bool SyslogTrace::connectLocked() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void SyslogTrace::sendLocked(std::string_view line) {
    if (fd_ < 0) {
        const uint64_t now = ticks_();
        if (tried_ && now < nextTryMs_) return;
        tried_ = true;
        if (!connectLocked()) {
            nextTryMs_ = now + retryMs_;
            return;
        }
    }
    // As syslog(3) words it: priority, local time, ident[pid]: the line.
    char head[64];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    size_t n = std::strlen(kPriority);
    std::memcpy(head, kPriority, n);
    n += std::strftime(head + n, sizeof head - n, "%b %e %H:%M:%S ", &local);
    n += static_cast<size_t>(
        std::snprintf(head + n, sizeof head - n, "kvflash[%d]: ", static_cast<int>(pid_)));
    std::string message(head, n);
    message.append(line);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(fd_, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) return;
        // A full log loses the line; a log daemon that went away (or came
        // back anew) is connected to once more, at once.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == EMSGSIZE) return;
        ::close(fd_);
        fd_ = -1;
        if (attempt == 0 && !connectLocked()) {
            nextTryMs_ = ticks_() + retryMs_;
            return;
        }
    }
}

void SyslogTrace::write(std::string_view line) {
    {
        std::lock_guard lock(mutex_);
        sendLocked(line);
    }
    if (echoing_) echo_.write(line);
}

void SyslogTrace::echoThrough(EchoSink sink) {
    if (echoing_) echo_.redirect(std::move(sink));
}

}  // namespace kv::platform::linux_impl
