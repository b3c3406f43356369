#pragma once
#include "platform/InstanceLock.h"

namespace kv::platform::win32 {

// Membership of the calling thread's token in the built-in Administrators
// group, asked through CheckTokenMembership, which is looked up in
// "Advapi32.dll" at run time.
class TokenAdmin final : public Admin {
public:
    // What the check uses; a test names a library or function that is not
    // there, or builds no identifier.
    struct Parts {
        const char* library = "Advapi32.dll";
        const char* function = "CheckTokenMembership";
        // The group's identifier (AllocateAndInitializeSid, freed with
        // FreeSid); false when it cannot be built.
        bool (*buildGroupSid)(void** sid) = &allocateAdministratorsSid;
    };

    TokenAdmin() = default;
    explicit TokenAdmin(Parts parts) : parts_(parts) {}

    // No Advapi32.dll counts as an administrator; no identifier or no
    // CheckTokenMembership leaves the check undecided.
    AdminCheck check(Trace& trace) override;

    static bool allocateAdministratorsSid(void** sid);

private:
    Parts parts_;
};

}  // namespace kv::platform::win32
