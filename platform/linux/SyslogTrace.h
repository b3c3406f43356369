#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/Trace.h"
#include "platform/TraceEcho.h"

namespace kv::platform::linux_impl {

// The system log at debug priority with ident "kvflash" (datagrams to its
// socket, as syslog(3) sends them); optionally echoed to stderr.
//
// A line costs nothing when nobody listens: the socket is connected once
// and kept; when there is no log daemon (containers, minimal installs) the
// next try comes only after `retryMs`, and lines meanwhile go nowhere. A log
// that cannot take a line at once loses it rather than stall a transfer.
class SyslogTrace final : public Trace {
public:
    using Ticks = std::function<uint64_t()>;  // milliseconds, steady
    explicit SyslogTrace(bool echoToStderr, std::string socketPath = "/dev/log",
                         uint64_t retryMs = 10000, Ticks ticks = {});
    ~SyslogTrace() override;
    SyslogTrace(const SyslogTrace&) = delete;
    SyslogTrace& operator=(const SyslogTrace&) = delete;
    void write(std::string_view line) override;
    void echoThrough(EchoSink sink) override;

private:
    bool connectLocked();
    void sendLocked(std::string_view line);

    const bool echoing_;
    TraceEcho echo_;
    const std::string socketPath_;
    const uint64_t retryMs_;
    Ticks ticks_;
    const pid_t pid_;
    std::mutex mutex_;
    int fd_ = -1;
    bool tried_ = false;
    uint64_t nextTryMs_ = 0;
};

}  // namespace kv::platform::linux_impl
