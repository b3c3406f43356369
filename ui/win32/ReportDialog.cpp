#include "ui/win32/ReportDialog.h"

#include <windows.h>

#include "ui/win32/PopupTemplate.h"

namespace kv::ui {

namespace {

constexpr WORD kTextId = 100;

struct Report {
    const std::string* text;
    HFONT font = nullptr;
};

// The edit control's line ends are CR LF.
std::string withCrLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

INT_PTR CALLBACK reportProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* report = reinterpret_cast<Report*>(lParam);
            ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            HWND edit = ::GetDlgItem(hwnd, kTextId);
            report->font = ::CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
            HGDIOBJ font = report->font ? static_cast<HGDIOBJ>(report->font)
                                        : ::GetStockObject(ANSI_FIXED_FONT);
            ::SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            ::SetWindowTextA(edit, withCrLf(*report->text).c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(hwnd, IDOK);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY: {
            auto* report = reinterpret_cast<Report*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
            if (report && report->font) ::DeleteObject(report->font);
            return FALSE;
        }
        default: return FALSE;
    }
}

}  // namespace

void showReportDialog(void* owner, const std::string& caption, const std::string& text) {
    PopupTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                    480, 240, caption);
    t.item(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
               ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
           7, 7, 466, 206, kTextId, kEditAtom, "");
    t.item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 423, 219, 50, 14, IDOK,
           kButtonAtom, "OK");
    Report report{&text};
    ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), t.data(), static_cast<HWND>(owner),
                              reportProcedure, reinterpret_cast<LPARAM>(&report));
}

}  // namespace kv::ui
