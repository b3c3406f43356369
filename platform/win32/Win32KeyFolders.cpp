#include "platform/win32/Win32KeyFolders.h"

#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>

namespace kv::platform::win32 {
namespace {

// Rights that let a holder change what the file says, or who may.
constexpr ACCESS_MASK kChanging = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                  DELETE | GENERIC_WRITE | GENERIC_ALL;

// The administrators, the system and the installer service.
bool isAdministration(PSID sid) {
    if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
        ::IsWellKnownSid(sid, WinLocalSystemSid))
        return true;
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) return false;
    const bool installer =
        std::string(text) == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    ::LocalFree(text);
    return installer;
}

std::string sidText(PSID sid) {
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) return "an unknown account";
    std::string out(text);
    ::LocalFree(text);
    return out;
}

}  // namespace

std::string Win32KeyFolders::systemFolder() {
    if (!system_.empty()) return system_;
    PWSTR wide = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &wide))) {
        const int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            folder.resize(static_cast<size_t>(n));
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, folder.data(), n, nullptr, nullptr);
            folder.resize(static_cast<size_t>(n - 1));
            folder += "\\kvflash\\trusted-keys";
        }
    }
    ::CoTaskMemFree(wide);
    return folder;
}

Result<std::vector<std::string>> Win32KeyFolders::keyFilesIn(const std::string& folder) {
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((folder + "\\*.pub").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return paths;
        return Failure{"cannot be listed (error " + std::to_string(error) + ")"};
    }
    do {
        paths.push_back(folder + "\\" + found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(paths.begin(), paths.end());
    return paths;
}

Result<void> Win32KeyFolders::closedToOthers(const std::string& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetNamedSecurityInfoA(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return Failure{"its permissions cannot be read (error " + std::to_string(error) + ")"};
    std::string refusal;
    if (!dacl) {
        refusal = "writable by everyone (no access list)";
    } else if (owner && !isAdministration(owner)) {
        refusal = "owned by " + sidText(owner) + ", not the administrators";
    } else {
        for (DWORD i = 0; i < dacl->AceCount && refusal.empty(); ++i) {
            void* ace = nullptr;
            if (!::GetAce(dacl, i, &ace)) continue;
            const auto* header = static_cast<ACE_HEADER*>(ace);
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
                continue;
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            PSID sid = &allowed->SidStart;
            if ((allowed->Mask & kChanging) && !isAdministration(sid))
                refusal = "writable by " + sidText(sid);
        }
    }
    ::LocalFree(descriptor);
    if (!refusal.empty()) return Failure{refusal};
    return {};
}

}  // namespace kv::platform::win32
