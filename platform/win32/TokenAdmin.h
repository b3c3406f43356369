#pragma once
#include "platform/InstanceLock.h"

namespace kv::platform::win32 {

// Membership of the calling thread's token in the built-in Administrators
// group, asked through CheckTokenMembership, which is looked up in
// "Advapi32.dll" at run time.
class TokenAdmin final : public Admin {
public:
    // How the last check ended.
    enum class Outcome : unsigned {
        NotChecked = 0,
        Member = 1,
        NotMember = 2,
        SidFailed = 3,        // the group's identifier could not be built
        LibraryMissing = 4,   // no Advapi32.dll: counted as an administrator
        FunctionMissing = 5,  // no CheckTokenMembership in it
        CallFailed = 6,       // the membership call itself failed
    };

    bool isAdministrator(Trace& trace) override;
    Outcome outcome() const { return outcome_; }

private:
    Outcome outcome_ = Outcome::NotChecked;
};

}  // namespace kv::platform::win32
