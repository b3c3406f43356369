#pragma once
#include <cstdint>

#include "platform/Trace.h"

namespace kv::platform {

inline constexpr uint32_t kErrorAlreadyExists = 183;

// The lock the maker's service tools share, so only one of them talks to a
// printer at a time.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // Takes the lock. Returns 0, or kErrorAlreadyExists when another holder
    // has it, or another error code when it could not be tried at all.
    virtual uint32_t create() = 0;
    virtual void release() = 0;
};

// What the administrator check found.
enum class AdminCheck {
    Administrator,
    NotAdministrator,
    // The check itself could not be made: no verdict, and no rights.
    Undecided,
};

class Admin {
public:
    virtual ~Admin() = default;
    // Whether the program runs with administrator rights; the steps of the
    // check go to `trace`, a line each.
    virtual AdminCheck check(Trace& trace) = 0;
};

}  // namespace kv::platform
