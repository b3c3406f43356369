#include "platform/linux/SyslogTrace.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace kv::platform::linux_impl {

namespace {
std::mutex stderrMutex;
}

SyslogTrace::SyslogTrace(bool echoToStderr) : echo_(echoToStderr) {
    ::openlog("kvflash", LOG_PID, LOG_USER);
}

SyslogTrace::~SyslogTrace() { ::closelog(); }

void SyslogTrace::write(std::string_view line) {
    const std::string text(line);
    ::syslog(LOG_DEBUG, "%s", text.c_str());
    if (echo_) {
        // Lines carry their own "\r\n" as the device-debug service took them;
        // a terminal wants plain newlines.
        std::string shown;
        for (char c : text) {
            if (c != '\r') shown += c;
        }
        std::lock_guard lock(stderrMutex);
        std::fputs(shown.c_str(), stderr);
        if (shown.empty() || shown.back() != '\n') std::fputc('\n', stderr);
    }
}

}  // namespace kv::platform::linux_impl
