#pragma once
#include <cstdint>

namespace kv::platform {

// Every pause and tick goes through here, so tests can run a 40-second
// flash in virtual time and still assert its exact pacing.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepMs(uint32_t ms) = 0;
    virtual uint64_t tickMs() = 0;
    // The calendar time, milliseconds since 1970-01-01T00:00:00Z: only for
    // records people read later, never for pacing. The system's own unless
    // a clock says otherwise.
    virtual int64_t wallMs();
};

class RealClock final : public Clock {
public:
    void sleepMs(uint32_t ms) override;
    uint64_t tickMs() override;
};

}  // namespace kv::platform
