#pragma once
#include "platform/Trace.h"

namespace kv::platform::linux_impl {

// syslog at debug priority with ident "kvflash"; optionally echoed to stderr.
class SyslogTrace final : public Trace {
public:
    explicit SyslogTrace(bool echoToStderr);
    ~SyslogTrace() override;
    void write(std::string_view line) override;

private:
    bool echo_;
};

}  // namespace kv::platform::linux_impl
