#include "platform/linux/LogindSleepInhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

namespace kv::platform::linux_impl {

namespace {

struct Bus {
    sd_bus* bus = nullptr;
    ~Bus() {
        if (bus) sd_bus_flush_close_unref(bus);
    }
};

struct Reply {
    sd_bus_message* message = nullptr;
    ~Reply() {
        if (message) sd_bus_message_unref(message);
    }
};

struct CallError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~CallError() { sd_bus_error_free(&error); }
};

std::string errnoText(int negativeErrno) { return std::strerror(-negativeErrno); }

}  // namespace

LogindSleepInhibitor::~LogindSleepInhibitor() { release(); }

Result<void> LogindSleepInhibitor::acquire(const std::string& who, const std::string& why) {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) return {};
    Bus bus;
    if (const int r = sd_bus_open_system(&bus.bus); r < 0) {
        return Failure{"no system bus (" + errnoText(r) + ")"};
    }
    if (const int r = sd_bus_set_method_call_timeout(bus.bus, kCallTimeoutUsec); r < 0) {
        return Failure{"the system bus refused a time limit (" + errnoText(r) + ")"};
    }
    CallError callError;
    Reply reply;
    const int r =
        sd_bus_call_method(bus.bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "Inhibit", &callError.error,
                           &reply.message, "ssss", kWhat, who.c_str(), why.c_str(), kMode);
    if (r < 0) {
        return Failure{std::string("logind did not grant the lock (") +
                       (callError.error.message ? callError.error.message : errnoText(r).c_str()) +
                       ")"};
    }
    int received = -1;
    if (const int rr = sd_bus_message_read(reply.message, "h", &received); rr < 0 || received < 0) {
        return Failure{"logind's answer held no lock"};
    }
    // The reply owns the one it carries.
    const int kept = ::fcntl(received, F_DUPFD_CLOEXEC, 3);
    if (kept < 0) {
        return Failure{std::string("the lock could not be kept (") + std::strerror(errno) + ")"};
    }
    fd_ = kept;
    return {};
}

void LogindSleepInhibitor::release() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace kv::platform::linux_impl
