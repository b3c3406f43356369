#include "platform/win32/TokenAdmin.h"

#include <windows.h>

namespace kv::platform::win32 {

namespace {
using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
}

bool TokenAdmin::isAdministrator(Trace& trace) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        trace.write("FALSE from AllocateAndInitializeSid\r\n");
        outcome_ = Outcome::SidFailed;
        return false;
    }
    trace.write("TRUE from AllocateAndInitializeSid\r\n");
    HMODULE advapi = ::LoadLibraryA("Advapi32.dll");
    if (!advapi) {
        trace.write("Could not openAdvapi32.dll\r\n");
        ::FreeSid(administrators);
        outcome_ = Outcome::LibraryMissing;
        return true;
    }
    trace.write("Opened Advapi32.dll\r\n");
    const auto check = reinterpret_cast<CheckTokenMembershipFn>(
        reinterpret_cast<void*>(::GetProcAddress(advapi, "CheckTokenMembership")));
    BOOL member = FALSE;
    if (!check) {
        trace.write("DID NOT Get ProcAddress to CheckTokenMembership\r\n");
        outcome_ = Outcome::FunctionMissing;
    } else {
        trace.write("Got ProcAddress to CheckTokenMembership\r\n");
        if (!check(nullptr, administrators, &member)) {
            member = FALSE;
            outcome_ = Outcome::CallFailed;
        } else {
            outcome_ = member ? Outcome::Member : Outcome::NotMember;
        }
    }
    ::FreeSid(administrators);
    ::FreeLibrary(advapi);
    return member != FALSE;
}

}  // namespace kv::platform::win32
