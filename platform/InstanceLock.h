#pragma once
#include <cstdint>

#include "platform/Result.h"
#include "platform/Trace.h"

namespace kv::platform {

// The code the tools have always traced for a lock held elsewhere.
inline constexpr uint32_t kErrorAlreadyExists = 183;

// What taking the lock found, when it could be tried.
enum class LockState {
    Taken,
    // Another tool holds it.
    Held,
};

// The lock the maker's service tools share, so only one of them talks to a
// printer at a time.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // Takes the lock: taken, or held elsewhere; a failure (what failed, and
    // where) when it could not be tried at all, which never means held.
    virtual Result<LockState> create() = 0;
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
