#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/DialogItemIds.h"
#include "ui/template/DialogTemplate.h"
#include "tests/win32/Win32TestSupport.h"

namespace kv::testing {
namespace {

std::string textOf(HWND h) {
    char text[1024] = {};
    ::SendMessageA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// The first top-level window of a process with this class (nullptr: any).
HWND windowOf(DWORD process, const char* className) {
    struct Search {
        DWORD process;
        const char* className;
        HWND found;
    } search{process, className, nullptr};
    ::EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(h, &owner);
            char cls[64] = {};
            ::GetClassNameA(h, cls, sizeof cls);
            if (owner == s->process && ::IsWindowVisible(h) &&
                (!s->className || std::string(cls) == s->className)) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The process's window once its UI thread waits for input: the dialog, or
// the box it shows instead.
HWND waitForWindow(const PROCESS_INFORMATION& p, const char* className) {
    if (::WaitForInputIdle(p.hProcess, 15000) != 0) return nullptr;
    return windowOf(p.dwProcessId, className);
}

class KvflashProgram : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = folderOfSelf() + "kvflash.exe";
        if (::GetFileAttributesA(program_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << "kvflash.exe is not beside the tests";
        }
    }
    PROCESS_INFORMATION start(const std::string& arguments) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION p{};
        std::string line = "\"" + program_ + "\" " + arguments;
        EXPECT_TRUE(::CreateProcessA(program_.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &p))
            << ::GetLastError();
        return p;
    }
    static DWORD waitForExit(PROCESS_INFORMATION& p) {
        DWORD code = 999;
        if (::WaitForSingleObject(p.hProcess, 15000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(p.hProcess, &code);
        } else {
            ::TerminateProcess(p.hProcess, 998);
        }
        ::CloseHandle(p.hThread);
        ::CloseHandle(p.hProcess);
        return code;
    }
    std::string program_;
};

// kvflash.exe itself: its window opens on the simulated printer, a click on
// Find Printer fills the fields, a second copy is turned away with the
// tools' message while the first runs, and Exit ends the program with 0.
TEST_F(KvflashProgram, FindsTheSimulatedPrinterKeepsASecondCopyOutAndExits) {
    PROCESS_INFORMATION first = start("--simulate --fast");
    HWND dialog = waitForWindow(first, "#32770");
    ASSERT_NE(dialog, nullptr) << "no dialog from kvflash.exe";
    EXPECT_EQ(textOf(dialog), std::string(kv::ui::mainDialogFrame().title));

    ::SendMessageA(::GetDlgItem(dialog, kv::dialog::kFindPrinter), BM_CLICK, 0, 0);
    EXPECT_EQ(textOf(::GetDlgItem(dialog, 1014)), "ZOW3004F");
    EXPECT_EQ(textOf(::GetDlgItem(dialog, 1017)), "V5.12");
    EXPECT_EQ(textOf(::GetDlgItem(dialog, 1013)), "Found Printer - Printer ready..");

    PROCESS_INFORMATION second = start("--simulate --fast");
    HWND box = waitForWindow(second, "#32770");
    ASSERT_NE(box, nullptr) << "the second copy showed no box";
    EXPECT_EQ(textOf(box), "Error");  // the system's default caption
    std::string shown;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        shown += textOf(child) + "|";
    }
    EXPECT_NE(shown.find("Another KV tool is currently running\rPlease try again later"),
              std::string::npos)
        << shown;
    ::SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(waitForExit(second), 0u);

    ::SendMessageA(::GetDlgItem(dialog, kv::dialog::kExit), BM_CLICK, 0, 0);
    EXPECT_EQ(waitForExit(first), 0u);
}

}  // namespace
}  // namespace kv::testing
