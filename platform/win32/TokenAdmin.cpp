#include "platform/win32/TokenAdmin.h"

#include <windows.h>

namespace kv::platform::win32 {

namespace {
using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
}

bool TokenAdmin::allocateAdministratorsSid(void** sid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    return ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                      0, 0, 0, 0, 0, 0, sid) != FALSE;
}

AdminCheck TokenAdmin::check(Trace& trace) {
    PSID administrators = nullptr;
    if (!parts_.buildGroupSid(&administrators)) {
        trace.write("FALSE from AllocateAndInitializeSid\r\n");
        return AdminCheck::Undecided;
    }
    trace.write("TRUE from AllocateAndInitializeSid\r\n");
    HMODULE advapi = ::LoadLibraryA(parts_.library);
    if (!advapi) {
        trace.write("Could not openAdvapi32.dll\r\n");
        ::FreeSid(administrators);
        return AdminCheck::Administrator;
    }
    trace.write("Opened Advapi32.dll\r\n");
    const auto check = reinterpret_cast<CheckTokenMembershipFn>(
        reinterpret_cast<void*>(::GetProcAddress(advapi, parts_.function)));
    AdminCheck result = AdminCheck::Undecided;
    if (!check) {
        trace.write("DID NOT Get ProcAddress to CheckTokenMembership\r\n");
    } else {
        trace.write("Got ProcAddress to CheckTokenMembership\r\n");
        // A call that fails counts as no membership.
        BOOL member = FALSE;
        const bool asked = check(nullptr, administrators, &member) != FALSE;
        result = asked && member ? AdminCheck::Administrator : AdminCheck::NotAdministrator;
    }
    ::FreeSid(administrators);
    ::FreeLibrary(advapi);
    return result;
}

}  // namespace kv::platform::win32
