#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/SleepInhibitor.h"

namespace kv::platform::linux_impl {

// A "block" inhibitor lock from logind on the system bus
// (org.freedesktop.login1.Manager.Inhibit) for sleep, shutdown, the idle
// timer and the lid switch, held as the file descriptor logind hands out
// and released by closing it. The bus is the one DBUS_SYSTEM_BUS_ADDRESS
// names, else the system's; the call is bounded. Without a system bus or
// without logind (containers) acquire says why and nothing is held.
class LogindSleepInhibitor final : public SleepInhibitor {
public:
    // What the lock covers: the lid switch's own low-level lock too, since
    // logind lets the lid switch ignore the plain sleep lock by default.
    static constexpr const char* kWhat = "shutdown:sleep:idle:handle-lid-switch";
    static constexpr const char* kMode = "block";
    static constexpr uint64_t kCallTimeoutUsec = 5'000'000;

    LogindSleepInhibitor() = default;
    ~LogindSleepInhibitor() override;
    LogindSleepInhibitor(const LogindSleepInhibitor&) = delete;
    LogindSleepInhibitor& operator=(const LogindSleepInhibitor&) = delete;

    Result<void> acquire(const std::string& who, const std::string& why) override;
    void release() override;

private:
    std::mutex mutex_;
    int fd_ = -1;
};

}  // namespace kv::platform::linux_impl
