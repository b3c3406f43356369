#include "ui/win32/Win32FleetWindow.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "ui/template/FlashLines.h"
#include "ui/win32/HistoryWindow.h"
#include "ui/win32/PopupTemplate.h"
#include "ui/win32/WindowText.h"

namespace kv::ui {

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kCopyDetail = 1;
constexpr UINT kShowHistory = 2;
// What a list view adds to a cell's text: its margins; the first column
// also shows the check box.
constexpr int kCellPadding = 16;
constexpr int kProgressColumn = static_cast<int>(FleetColumn::Progress);

HWND fleetHwnd(void* h) { return static_cast<HWND>(h); }

// Sets a window's text only when it changed: an edit would report its own
// change back.
void setText(HWND h, const std::string& text) {
    if (windowText(h) != text) ::SetWindowTextA(h, text.c_str());
}

// Dialog units in pixels of `dialog`'s font.
POINT pixels(HWND dialog, int x, int y) {
    RECT r{0, 0, x, y};
    ::MapDialogRect(dialog, &r);
    return {r.right, r.bottom};
}

PopupTemplate fleetTemplate() {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    constexpr DWORD kLine = kChild | SS_NOPREFIX | SS_LEFTNOWORDWRAP;
    constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    // Laid out again by size (layOut); the order is the Tab order.
    PopupTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                        WS_THICKFRAME | DS_SETFONT | DS_CENTER,
                    560, 297, kFleetCaption);
    t.item(kChild | SS_NOPREFIX, 7, 9, 34, 8, Win32FleetWindow::kPrintersLabel, kStaticAtom,
           "Printers:");
    t.item(kEdit, 42, 7, 330, 12, Win32FleetWindow::kTargets, kEditAtom, "");
    t.item(kChild | SS_NOPREFIX, 378, 9, 18, 8, Win32FleetWindow::kPortLabel, kStaticAtom, "Port:");
    t.item(kEdit | ES_NUMBER, 398, 7, 40, 12, Win32FleetWindow::kPort, kEditAtom, "");
    t.item(kButton, 444, 6, 50, 14, Win32FleetWindow::kScan, kButtonAtom, "Scan");
    t.item(kButton, 7, 23, 90, 14, Win32FleetWindow::kSelectFile, kButtonAtom,
           "Select Firmware File");
    t.item(kLine, 102, 26, 451, 8, Win32FleetWindow::kImageLine, kStaticAtom, "");
    t.item(kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 7, 42,
           546, 205, Win32FleetWindow::kList, WC_LISTVIEWA);
    t.item(kLine, 7, 251, 546, 8, Win32FleetWindow::kUnreachable, kStaticAtom, "");
    // Hidden until a run leaves printers that may be in flash mode.
    t.item(WS_CHILD | SS_NOPREFIX | SS_LEFT, 7, 231, 470, 16, Win32FleetWindow::kAdvice,
           kStaticAtom, "");
    t.item(WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 482, 231, 65, 14,
           Win32FleetWindow::kCopyAddresses, kButtonAtom, "Copy Addresses");
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
    // The advice in the colour of a bad verdict; a dialog answers with the brush.
    if (message == WM_CTLCOLORSTATIC &&
        ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == Win32FleetWindow::kAdvice) {
        const Rgb c = toneColour(platform::VerdictTone::Bad);
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, RGB(c.red, c.green, c.blue));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    }
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
    for (int c = 0; c < kFleetColumnCount; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(fleetColumnTitle(static_cast<FleetColumn>(c)));
        column.cx = 80;  // fitted to the texts on every drawing
        column.iSubItem = c;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c),
                       reinterpret_cast<LPARAM>(&column));
    }
    adviceShown_ = false;
    if (!opened_) {
        opened_ = true;
        logic_.onOpen();
    } else {
        // A run that went on behind the closed window may have ended.
        logic_.onTimer();
    }
    openAtSize();
}

void Win32FleetWindow::openAtSize() {
    HWND h = fleetHwnd(hwnd_);
    HWND list = ::GetDlgItem(h, kList);
    // A row's height, from a row of its own while there is none.
    const bool empty = ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0;
    if (empty) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<char*>("");
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    RECT row{};
    row.left = LVIR_BOUNDS;
    ::SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    if (empty) ::SendMessageA(list, LVM_DELETEITEM, 0, 0);
    RECT header{};
    ::GetWindowRect(reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0)), &header);

    int listWidth = 2 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL);
    for (const int width : fitted_) listWidth += width;
    const int listHeight = 2 * ::GetSystemMetrics(SM_CYEDGE) + (header.bottom - header.top) +
                           kFleetDefaultRows * (row.bottom - row.top) +
                           ::GetSystemMetrics(SM_CYHSCROLL) +
                           // layOut rounds each dialog unit on its own
                           (row.bottom - row.top) / 2;
    // Around the list: the margins, the lines above it and those below with
    // the advice (layOut); no narrower than the template.
    const POINT around = pixels(h, 2 * 7, 42 + 71);
    const POINT least = pixels(h, 560, 0);
    RECT outer{0, 0, std::max(listWidth + around.x, least.x), listHeight + around.y};
    ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrA(h, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrA(h, GWL_EXSTYLE)));
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int workWidth = work.right - work.left;
    const int workHeight = work.bottom - work.top;
    const WindowSize size = logic_.openingSize({outer.right - outer.left, outer.bottom - outer.top},
                                               {workWidth, workHeight});
    ::SetWindowPos(h, nullptr, work.left + (workWidth - size.width) / 2,
                   work.top + (workHeight - size.height) / 2, size.width, size.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    layOut();
}

void Win32FleetWindow::layOut() {
    HWND h = fleetHwnd(hwnd_);
    if (!h) return;
    RECT client{};
    ::GetClientRect(h, &client);
    const int width = client.right;
    const int height = client.bottom;
    const auto move = [h](int id, int x, int y, int w, int ht) {
        ::MoveWindow(::GetDlgItem(h, id), x, y, std::max(w, 0), std::max(ht, 0), TRUE);
    };
    const POINT margin = pixels(h, 7, 7);
    const POINT button = pixels(h, 50, 14);
    const POINT field = pixels(h, 40, 12);
    const POINT gap = pixels(h, 6, 4);
    const int line = pixels(h, 0, 8).y;
    const auto x = [h](int units) { return pixels(h, units, 0).x; };
    const auto y = [h](int units) { return pixels(h, 0, units).y; };

    // Above the list: the targets field takes the width the port and Scan leave.
    const int scanX = width - margin.x - button.x;
    const int portX = scanX - gap.x - field.x;
    const int portLabelX = portX - x(2) - x(18);
    move(kPrintersLabel, margin.x, y(9), x(34), line);
    move(kTargets, x(42), y(7), portLabelX - gap.x - x(42), field.y);
    move(kPortLabel, portLabelX, y(9), x(18), line);
    move(kPort, portX, y(7), field.x, field.y);
    move(kScan, scanX, y(6), button.x, button.y);
    move(kSelectFile, margin.x, y(23), x(90), button.y);
    move(kImageLine, x(102), y(26), width - margin.x - x(102), line);

    // Below it, from the bottom up: the buttons, the summary, the advice
    // (while there is one) and the count of the addresses that are none.
    const int buttonsY = height - margin.y - button.y;
    move(IDCANCEL, width - margin.x - button.x, buttonsY, button.x, button.y);
    move(kStop, width - margin.x - 2 * button.x - x(5), buttonsY, button.x, button.y);
    move(kFlashSelected, width - margin.x - 2 * button.x - x(10) - x(60), buttonsY, x(60),
         button.y);
    const int summaryY = buttonsY - y(14);
    move(kSummary, margin.x, summaryY, width - 2 * margin.x, line);
    int above = summaryY;
    if (adviceShown_) {
        above = summaryY - y(20);
        move(kAdvice, margin.x, above, width - 2 * margin.x - x(65) - x(5), 2 * line);
        move(kCopyAddresses, width - margin.x - x(65), above, x(65), button.y);
    }
    const int unreachableY = above - y(12);
    move(kUnreachable, margin.x, unreachableY, width - 2 * margin.x, line);
    move(kList, margin.x, y(42), width - 2 * margin.x, unreachableY - gap.y - y(42));
}

void Win32FleetWindow::setItemText(int row, int column, const std::string& text) {
    HWND list = ::GetDlgItem(fleetHwnd(hwnd_), kList);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
}

void Win32FleetWindow::fitColumns(const FleetPicture& p) {
    HWND list = ::GetDlgItem(fleetHwnd(hwnd_), kList);
    const auto textWidth = [list](const char* text) {
        return static_cast<int>(
            ::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text)));
    };
    RECT client{};
    ::GetClientRect(list, &client);
    fitted_.assign(kFleetColumnCount, 0);
    int others = 0;
    for (int c = 0; c < kFleetColumnCount; ++c) {
        const auto column = static_cast<FleetColumn>(c);
        int widest =
            std::max(textWidth(fleetColumnTitle(column)), textWidth(fleetColumnSample(column)));
        for (const FleetRow& r : p.rows) {
            widest = std::max(widest, textWidth(fleetCell(r, column).c_str()));
        }
        fitted_[static_cast<size_t>(c)] =
            widest + kCellPadding + (c == 0 ? ::GetSystemMetrics(SM_CXSMICON) + 6 : 0);
        // The last column takes what room is left.
        const int width = c + 1 < kFleetColumnCount
                              ? fitted_[static_cast<size_t>(c)]
                              : std::max(fitted_[static_cast<size_t>(c)],
                                         static_cast<int>(client.right - others));
        others += width;
        if (::SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0) != width) {
            ::SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(width, 0));
        }
    }
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
    bars_.assign(p.rows.size(), Bar{});
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
        bars_[static_cast<size_t>(row)] = {r.progressValue, r.progressMaximum};
    }
    setText(::GetDlgItem(h, kUnreachable), p.unreachable);
    setText(::GetDlgItem(h, kSummary), p.summary);
    std::string advice;
    for (char c : p.flashModeAdvice) advice += c == '\n' ? std::string("\r\n") : std::string(1, c);
    setText(::GetDlgItem(h, kAdvice), advice);
    const bool shown = !p.flashModeAdvice.empty();
    if (shown != adviceShown_) {
        adviceShown_ = shown;
        ::ShowWindow(::GetDlgItem(h, kAdvice), shown ? SW_SHOWNA : SW_HIDE);
        ::ShowWindow(::GetDlgItem(h, kCopyAddresses), shown ? SW_SHOWNA : SW_HIDE);
        layOut();
    }
    fitColumns(p);
    drawing_ = false;
}

void Win32FleetWindow::startTimer(unsigned intervalMs) {
    if (hwnd_) ::SetTimer(fleetHwnd(hwnd_), kPollTimer, intervalMs, nullptr);
}

void Win32FleetWindow::stopTimer() {
    if (hwnd_) ::KillTimer(fleetHwnd(hwnd_), kPollTimer);
}

void Win32FleetWindow::showHistory(const HistoryView& view) {
    if (hwnd_) showHistoryWindow(hwnd_, view);
}

void Win32FleetWindow::close() {
    if (!logic_.onClose()) return;
    HWND h = fleetHwnd(hwnd_);
    // Its size as the user left it, maximised or not.
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    if (::GetWindowPlacement(h, &place)) {
        const RECT& r = place.rcNormalPosition;
        logic_.keepSize({r.right - r.left, r.bottom - r.top});
    }
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
    if (chosen == kCopyDetail) copy(logic_.detailOf(index));
}

void Win32FleetWindow::copy(const std::string& text) {
    if (!::OpenClipboard(fleetHwnd(hwnd_))) return;
    ::EmptyClipboard();
    if (HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        std::memcpy(::GlobalLock(copy), text.c_str(), text.size() + 1);
        ::GlobalUnlock(copy);
        if (!::SetClipboardData(CF_TEXT, copy)) ::GlobalFree(copy);
    }
    ::CloseClipboard();
}

bool Win32FleetWindow::drawBar(void* customDraw) {
    auto* d = static_cast<NMLVCUSTOMDRAW*>(customDraw);
    const auto row = static_cast<size_t>(d->nmcd.dwItemSpec);
    if (d->iSubItem != kProgressColumn || row >= bars_.size() || bars_[row].maximum == 0) {
        return false;
    }
    const Bar& bar = bars_[row];
    HWND list = d->nmcd.hdr.hwndFrom;
    RECT cell{};
    cell.top = d->iSubItem;
    cell.left = LVIR_BOUNDS;
    ::SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    HDC dc = d->nmcd.hdc;
    ::FillRect(dc, &cell, ::GetSysColorBrush(COLOR_WINDOW));
    RECT frame = cell;
    ::InflateRect(&frame, -2, -2);
    ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_BTNSHADOW));
    RECT done = frame;
    ::InflateRect(&done, -1, -1);
    const uint64_t span = static_cast<uint64_t>(std::max<LONG>(done.right - done.left, 0));
    done.right =
        done.left + static_cast<LONG>(span * std::min(bar.value, bar.maximum) / bar.maximum);
    ::FillRect(dc, &done, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    // The cell's text over the bar, in the highlight's colour where it is filled.
    const std::string text = fleetCell(logic_.picture().rows.at(row), FleetColumn::Progress);
    ::SetBkMode(dc, TRANSPARENT);
    for (const bool filled : {true, false}) {
        const int saved = ::SaveDC(dc);
        if (filled) {
            ::IntersectClipRect(dc, done.left, done.top, done.right, done.bottom);
        } else {
            ::ExcludeClipRect(dc, done.left, done.top, done.right, done.bottom);
        }
        ::SetTextColor(dc, ::GetSysColor(filled ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        ::DrawTextA(dc, text.c_str(), -1, &frame,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::RestoreDC(dc, saved);
    }
    return true;
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
                    if (drawBar(draw)) {
                        result = CDRF_SKIPDEFAULT;
                        return true;
                    }
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
        case WM_SIZE:
            if (hwnd_ != hwnd) return false;
            layOut();
            fitColumns(logic_.picture());
            return true;
        case WM_GETMINMAXINFO: {
            const POINT least = pixels(fleetHwnd(hwnd), 300, 200);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = least;
            return true;
        }
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
                case kCopyAddresses: copy(logic_.picture().flashModeAddresses); return true;
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
