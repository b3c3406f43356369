#include "ui/win32/HistoryWindow.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/HistoryTable.h"
#include "ui/template/FlashLines.h"
#include "ui/win32/PopupTemplate.h"

namespace kv::ui {

namespace {

constexpr int kOutcomeColumn = static_cast<int>(HistoryColumn::Outcome);

// What the window shows and how it is sorted; lives as long as the window.
struct Shown {
    HistoryView view;
    int sortColumn = static_cast<int>(HistoryColumn::Start);
    bool ascending = true;
    // A modeless window frees it when it goes; a modal one's caller does.
    bool ownedByWindow = false;
};

Shown* shownOf(HWND dialog) {
    return reinterpret_cast<Shown*>(::GetWindowLongPtrA(dialog, DWLP_USER));
}

// Items carry their row's index, so a sort compares the model's values.
int CALLBACK compareRows(LPARAM a, LPARAM b, LPARAM sort) {
    const auto* shown = reinterpret_cast<const Shown*>(sort);
    const auto column = static_cast<size_t>(shown->sortColumn);
    const HistorySortKey& left = shown->view.rows[static_cast<size_t>(a)].cells[column].key;
    const HistorySortKey& right = shown->view.rows[static_cast<size_t>(b)].cells[column].key;
    const int order = left < right ? -1 : right < left ? 1 : 0;
    // Equal values keep the start order.
    if (order == 0) return a < b ? -1 : a > b ? 1 : 0;
    return shown->ascending ? order : -order;
}

void fillList(HWND list, const Shown& shown) {
    ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (size_t c = 0; c < kHistoryColumnCount; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
        column.pszText = const_cast<char*>(historyColumnTitle(static_cast<HistoryColumn>(c)));
        column.iSubItem = static_cast<int>(c);
        column.cx = 60;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    const auto& rows = shown.view.rows;
    for (size_t r = 0; r < rows.size(); ++r) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<char*>(rows[r].cells[0].text.c_str());
        item.lParam = static_cast<LPARAM>(r);
        const auto at = ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (size_t c = 1; c < kHistoryColumnCount; ++c) {
            LVITEMA cell{};
            cell.iSubItem = static_cast<int>(c);
            cell.pszText = const_cast<char*>(rows[r].cells[c].text.c_str());
            ::SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&cell));
        }
    }
    for (size_t c = 0; c < kHistoryColumnCount; ++c) {
        const bool hidden =
            c == static_cast<size_t>(HistoryColumn::Signature) && !shown.view.signatureColumn;
        ::SendMessageA(list, LVM_SETCOLUMNWIDTH, c, hidden ? 0 : LVSCW_AUTOSIZE_USEHEADER);
    }
}

void sortBy(HWND list, Shown& shown, int column) {
    if (column < 0 || column >= static_cast<int>(kHistoryColumnCount)) return;
    shown.ascending = column == shown.sortColumn ? !shown.ascending : true;
    shown.sortColumn = column;
    ::SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&shown),
                   reinterpret_cast<LPARAM>(compareRows));
}

// The outcome cell in its verdict's colour, every other cell as the list's.
LRESULT customDraw(const Shown& shown, NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const auto row = static_cast<size_t>(draw.nmcd.lItemlParam);
            if (draw.iSubItem == kOutcomeColumn && row < shown.view.rows.size()) {
                const Rgb c = toneColour(shown.view.rows[row].tone);
                draw.clrText = RGB(c.red, c.green, c.blue);
            } else {
                draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
            }
            return CDRF_NEWFONT;
        }
        default: return CDRF_DODEFAULT;
    }
}

INT_PTR answer(HWND dialog, LRESULT result) {
    ::SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK historyProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            const Shown& shown = *reinterpret_cast<Shown*>(lParam);
            ::SetDlgItemTextA(dialog, kHistoryHeadingId, shown.view.heading.c_str());
            ::SetDlgItemTextA(dialog, kHistoryDamagedId, shown.view.damaged.c_str());
            fillList(::GetDlgItem(dialog, kHistoryListId), shown);
            return TRUE;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            Shown* shown = shownOf(dialog);
            if (!shown || header->idFrom != static_cast<UINT_PTR>(kHistoryListId)) return FALSE;
            if (header->code == LVN_COLUMNCLICK) {
                const auto* click = reinterpret_cast<const NMLISTVIEW*>(lParam);
                sortBy(header->hwndFrom, *shown, click->iSubItem);
                return answer(dialog, 0);
            }
            if (header->code == NM_CUSTOMDRAW) {
                return answer(dialog,
                              customDraw(*shown, *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
            }
            return FALSE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                // Modeless (tests): the owner of the loop ends it.
                if (!::EndDialog(dialog, IDOK)) ::DestroyWindow(dialog);
                return TRUE;
            }
            return FALSE;
        case WM_NCDESTROY:
            if (Shown* shown = shownOf(dialog); shown && shown->ownedByWindow) delete shown;
            ::SetWindowLongPtrA(dialog, DWLP_USER, 0);
            return FALSE;
        default: return FALSE;
    }
}

PopupTemplate historyTemplate() {
    PopupTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                    600, 280, kHistoryCaption);
    t.item(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 7, 7, 586, 10, kHistoryHeadingId,
           kStaticAtom, "");
    t.item(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
               LVS_SINGLESEL,
           7, 20, 586, 210, kHistoryListId, WC_LISTVIEWA);
    t.item(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 7, 234, 520, 40, kHistoryDamagedId,
           kStaticAtom, "");
    t.item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 543, 259, 50, 14, IDOK,
           kButtonAtom, "OK");
    return t;
}

void registerListView() {
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&common);
}

}  // namespace

void showHistoryWindow(void* owner, const HistoryView& view) {
    registerListView();
    const PopupTemplate t = historyTemplate();
    Shown shown{view};
    ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), t.data(), static_cast<HWND>(owner),
                              historyProcedure, reinterpret_cast<LPARAM>(&shown));
}

void* createHistoryWindow(void* owner, const HistoryView& view) {
    registerListView();
    const PopupTemplate t = historyTemplate();
    auto shown = std::make_unique<Shown>(Shown{view});
    HWND h = ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), t.data(),
                                          static_cast<HWND>(owner), historyProcedure,
                                          reinterpret_cast<LPARAM>(shown.get()));
    if (!h) return nullptr;
    shown.release()->ownedByWindow = true;
    ::ShowWindow(h, SW_SHOW);
    return h;
}

}  // namespace kv::ui
