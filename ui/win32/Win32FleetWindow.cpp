#include "ui/win32/Win32FleetWindow.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include "ui/template/FlashLines.h"
#include "ui/win32/PopupTemplate.h"
#include "ui/win32/WindowText.h"

namespace kv::ui {

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kCopyDetail = 1;
constexpr UINT kShowHistory = 2;

HWND fleetHwnd(void* h) { return static_cast<HWND>(h); }

// Sets a window's text only when it changed: an edit would report its own
// change back.
void setText(HWND h, const std::string& text) {
    if (windowText(h) != text) ::SetWindowTextA(h, text.c_str());
}

PopupTemplate fleetTemplate() {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    constexpr DWORD kLine = kChild | SS_NOPREFIX | SS_LEFTNOWORDWRAP;
    constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    PopupTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                        DS_SETFONT | DS_CENTER,
                    560, 297, kFleetCaption);
    t.item(kChild | SS_NOPREFIX, 7, 9, 34, 8, 0xFFFF, kStaticAtom, "Printers:");
    t.item(kEdit, 42, 7, 330, 12, Win32FleetWindow::kTargets, kEditAtom, "");
    t.item(kChild | SS_NOPREFIX, 378, 9, 18, 8, 0xFFFF, kStaticAtom, "Port:");
    t.item(kEdit | ES_NUMBER, 398, 7, 40, 12, Win32FleetWindow::kPort, kEditAtom, "");
    t.item(kButton, 444, 6, 50, 14, Win32FleetWindow::kScan, kButtonAtom, "Scan");
    t.item(kButton, 7, 23, 90, 14, Win32FleetWindow::kSelectFile, kButtonAtom,
           "Select Firmware File");
    t.item(kLine, 102, 26, 451, 8, Win32FleetWindow::kImageLine, kStaticAtom, "");
    t.item(kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 7, 42,
           546, 205, Win32FleetWindow::kList, WC_LISTVIEWA);
    t.item(kLine, 7, 251, 546, 8, Win32FleetWindow::kUnreachable, kStaticAtom, "");
    t.item(kLine, 7, 263, 546, 8, Win32FleetWindow::kSummary, kStaticAtom, "");
    t.item(kButton, 383, 277, 60, 14, Win32FleetWindow::kFlashSelected, kButtonAtom,
           "Flash Selected");
    t.item(kButton, 448, 277, 50, 14, Win32FleetWindow::kStop, kButtonAtom, "Stop");
    t.item(kButton, 503, 277, 50, 14, IDCANCEL, kButtonAtom, "Close");
    return t;
}

INT_PTR CALLBACK fleetProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Win32FleetWindow*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    intptr_t result = 0;
    if (!self->dialogMessage(hwnd, message, wParam, lParam, result)) return FALSE;
    if (message == WM_NOTIFY) ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

Win32FleetWindow::Win32FleetWindow(void* instance, Context& ctx,
                                   std::function<platform::Clock&(size_t)> clockFor)
    : instance_(instance), logic_(ctx, *this, std::move(clockFor)) {
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&common);
}

Win32FleetWindow::~Win32FleetWindow() {
    if (hwnd_ && !modal_) ::DestroyWindow(fleetHwnd(hwnd_));
}

void Win32FleetWindow::runModal(void* owner) {
    modal_ = true;
    const PopupTemplate bytes = fleetTemplate();
    ::DialogBoxIndirectParamA(static_cast<HINSTANCE>(instance_), bytes.data(), fleetHwnd(owner),
                              fleetProcedure, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
}

void* Win32FleetWindow::createModeless(void* owner) {
    modal_ = false;
    const PopupTemplate bytes = fleetTemplate();
    HWND h = ::CreateDialogIndirectParamA(static_cast<HINSTANCE>(instance_), bytes.data(),
                                          fleetHwnd(owner), fleetProcedure,
                                          reinterpret_cast<LPARAM>(this));
    if (h) ::ShowWindow(h, SW_SHOW);
    return h;
}

std::optional<unsigned long> Win32FleetWindow::phaseColour(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= colours_.size()) return std::nullopt;
    return colours_[static_cast<size_t>(row)];
}

void Win32FleetWindow::initialise() {
    HWND list = ::GetDlgItem(fleetHwnd(hwnd_), kList);
    ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // Widths in pixels, in the columns' order.
    static constexpr int kWidths[kFleetColumnCount] = {130, 80, 70, 120, 70, 90, 180, 80, 90};
    for (int c = 0; c < kFleetColumnCount; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(fleetColumnTitle(static_cast<FleetColumn>(c)));
        column.cx = kWidths[c];
        column.iSubItem = c;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
    }
    if (!opened_) {
        opened_ = true;
        logic_.onOpen();
    } else {
        // A run that went on behind the closed window may have ended.
        logic_.onTimer();
    }
}

void Win32FleetWindow::setItemText(int row, int column, const std::string& text) {
    HWND list = ::GetDlgItem(fleetHwnd(hwnd_), kList);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
}

void Win32FleetWindow::draw(const FleetPicture& p) {
    HWND h = fleetHwnd(hwnd_);
    if (!h) return;
    drawing_ = true;
    HWND targets = ::GetDlgItem(h, kTargets);
    HWND port = ::GetDlgItem(h, kPort);
    if (::GetFocus() != targets) setText(targets, p.targets);
    if (::GetFocus() != port) setText(port, p.port);
    setText(::GetDlgItem(h, kImageLine), p.image ? imageLine(*p.image) : "");
    const bool busy = p.scanning || p.flashing;
    ::EnableWindow(targets, !busy);
    ::EnableWindow(port, !busy);
    ::EnableWindow(::GetDlgItem(h, kScan), !busy);
    ::EnableWindow(::GetDlgItem(h, kSelectFile), !p.flashing);
    ::EnableWindow(::GetDlgItem(h, kFlashSelected), !busy && p.image && !p.rows.empty());
    ::EnableWindow(::GetDlgItem(h, kStop), p.stopEnabled());
    setText(::GetDlgItem(h, kStop), p.stopCaption());

    HWND list = ::GetDlgItem(h, kList);
    const int count = static_cast<int>(p.rows.size());
    while (::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > count) {
        ::SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(count), 0);
    }
    for (int row = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); row < count;
         ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>("");
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    colours_.assign(p.rows.size(), std::nullopt);
    for (int row = 0; row < count; ++row) {
        const FleetRow& r = p.rows[static_cast<size_t>(row)];
        for (int c = 0; c < kFleetColumnCount; ++c) {
            setItemText(row, c, fleetCell(r, static_cast<FleetColumn>(c)));
        }
        // A printer the image does not suit has no box to check.
        LVITEMA state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(r.suits ? (r.checked ? 2 : 1) : 0);
        ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&state));
        if (r.verdict) {
            const Rgb c = verdictColour(*r.verdict);
            colours_[static_cast<size_t>(row)] = RGB(c.red, c.green, c.blue);
        }
    }
    setText(::GetDlgItem(h, kUnreachable), p.unreachable);
    setText(::GetDlgItem(h, kSummary), p.summary);
    drawing_ = false;
}

void Win32FleetWindow::startTimer(unsigned intervalMs) {
    if (hwnd_) ::SetTimer(fleetHwnd(hwnd_), kPollTimer, intervalMs, nullptr);
}

void Win32FleetWindow::stopTimer() {
    if (hwnd_) ::KillTimer(fleetHwnd(hwnd_), kPollTimer);
}

void Win32FleetWindow::close() {
    if (!logic_.onClose()) return;
    HWND h = fleetHwnd(hwnd_);
    ::KillTimer(h, kPollTimer);
    if (modal_) {
        ::EndDialog(h, IDCANCEL);
    } else {
        ::DestroyWindow(h);
        hwnd_ = nullptr;
    }
}

void Win32FleetWindow::rowMenu(int x, int y) {
    HWND list = ::GetDlgItem(fleetHwnd(hwnd_), kList);
    const int row = static_cast<int>(
        ::SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) return;
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuA(menu, MF_STRING, kCopyDetail, "Copy Detail");
    ::AppendMenuA(menu, MF_STRING, kShowHistory, "Show History");
    if (x == -1 && y == -1) {
        RECT r{};
        ::GetWindowRect(list, &r);
        x = r.left;
        y = r.top;
    }
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x,
                                                           y, 0, fleetHwnd(hwnd_), nullptr));
    ::DestroyMenu(menu);
    const auto index = static_cast<size_t>(row);
    if (chosen == kShowHistory) logic_.onShowHistory(index);
    if (chosen != kCopyDetail || !::OpenClipboard(fleetHwnd(hwnd_))) return;
    const std::string detail = logic_.detailOf(index);
    ::EmptyClipboard();
    if (HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, detail.size() + 1)) {
        std::memcpy(::GlobalLock(copy), detail.c_str(), detail.size() + 1);
        ::GlobalUnlock(copy);
        if (!::SetClipboardData(CF_TEXT, copy)) ::GlobalFree(copy);
    }
    ::CloseClipboard();
}

bool Win32FleetWindow::notify(intptr_t lParam, intptr_t& result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom != static_cast<UINT_PTR>(kList)) return false;
    switch (header->code) {
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (drawing_ || !(change->uChanged & LVIF_STATE) ||
                ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0) {
                return false;
            }
            const bool checked = ((change->uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
            logic_.onToggle(static_cast<size_t>(change->iItem), checked);
            return true;
        }
        case LVN_KEYDOWN: {
            const auto* key = reinterpret_cast<const NMLVKEYDOWN*>(lParam);
            if (key->wVKey == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
                logic_.onSelectAllCompatible();
                return true;
            }
            return false;
        }
        case LVN_GETINFOTIPA: {
            auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(lParam);
            const std::string detail = logic_.detailOf(static_cast<size_t>(tip->iItem));
            if (tip->pszText && tip->cchTextMax > 0) {
                const size_t n = std::min(detail.size(), static_cast<size_t>(tip->cchTextMax - 1));
                std::memcpy(tip->pszText, detail.data(), n);
                tip->pszText[n] = '\0';
            }
            return true;
        }
        case NM_CUSTOMDRAW: {
            auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
            switch (draw->nmcd.dwDrawStage) {
                case CDDS_PREPAINT: result = CDRF_NOTIFYITEMDRAW; return true;
                case CDDS_ITEMPREPAINT: result = CDRF_NOTIFYSUBITEMDRAW; return true;
                case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
                    const auto colour = phaseColour(static_cast<int>(draw->nmcd.dwItemSpec));
                    draw->clrText = draw->iSubItem == static_cast<int>(FleetColumn::Phase) && colour
                                        ? *colour
                                        : ::GetSysColor(COLOR_WINDOWTEXT);
                    result = CDRF_DODEFAULT;
                    return true;
                }
                default: return false;
            }
        }
        default: return false;
    }
}

bool Win32FleetWindow::dialogMessage(void* hwnd, unsigned message, uintptr_t wParam,
                                     intptr_t lParam, intptr_t& result) {
    switch (message) {
        case WM_INITDIALOG:
            hwnd_ = hwnd;
            initialise();
            return true;
        case WM_TIMER:
            if (wParam != kPollTimer) return false;
            ::KillTimer(fleetHwnd(hwnd), kPollTimer);
            logic_.onTimer();
            return true;
        case WM_NOTIFY: return notify(lParam, result);
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) != ::GetDlgItem(fleetHwnd(hwnd), kList))
                return false;
            rowMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return true;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (code == EN_CHANGE && !drawing_) {
                const std::string text = windowText(reinterpret_cast<HWND>(lParam));
                if (id == kTargets) logic_.onTargetsEdited(text);
                if (id == kPort) logic_.onPortEdited(text);
                return true;
            }
            if (code != BN_CLICKED) return false;
            switch (id) {
                case kScan: logic_.onScan(); return true;
                case kSelectFile: logic_.onSelectFile(); return true;
                case kFlashSelected: logic_.onFlashSelected(); return true;
                case kStop: logic_.onStop(); return true;
                case IDCANCEL: close(); return true;
                default: return false;
            }
        }
        case WM_DESTROY:
            if (hwnd_ == hwnd) hwnd_ = nullptr;
            return false;
        default: return false;
    }
}

}  // namespace kv::ui
