#include "ui/win32/ReportDialog.h"

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace kv::ui {

namespace {

constexpr WORD kTextId = 100;
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;

struct Report {
    const std::string* text;
    HFONT font = nullptr;
};

class Bytes {
public:
    void word(WORD w) {
        bytes_.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes_.push_back(static_cast<uint8_t>(w >> 8));
    }
    void dword(DWORD d) {
        word(static_cast<WORD>(d & 0xFFFF));
        word(static_cast<WORD>(d >> 16));
    }
    void text(std::string_view s) {
        for (char c : s) word(static_cast<WORD>(static_cast<unsigned char>(c)));
        word(0);
    }
    void align() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              std::string_view title) {
        align();
        dword(style);
        dword(0);
        for (short v : {x, y, cx, cy}) word(static_cast<WORD>(v));
        word(id);
        word(0xFFFF);
        word(atom);
        text(title);
        word(0);
    }
    const std::vector<uint8_t>& data() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
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
    Bytes t;
    t.dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
    t.dword(0);
    t.word(2);  // the text and OK
    for (short v : {0, 0, 480, 240}) t.word(static_cast<WORD>(v));
    t.word(0);  // no menu
    t.word(0);  // the standard dialog class
    t.text(caption);
    t.word(8);
    t.text("MS Shell Dlg");
    t.item(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
               ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
           7, 7, 466, 206, kTextId, kEditAtom, "");
    t.item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 423, 219, 50, 14, IDOK,
           kButtonAtom, "OK");
    Report report{&text};
    ::DialogBoxIndirectParamA(
        ::GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(t.data().data()),
        static_cast<HWND>(owner), reportProcedure, reinterpret_cast<LPARAM>(&report));
}

}  // namespace kv::ui
