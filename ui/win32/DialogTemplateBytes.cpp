#include "ui/win32/DialogTemplateBytes.h"

#include <windows.h>

#include "ui/template/DialogTemplate.h"
#include "ui/win32/TemplateWriter.h"

namespace kv::ui {

namespace {

WORD classAtom(ItemKind kind) {
    switch (kind) {
        case ItemKind::PushButton:
        case ItemKind::GroupBox: return kButtonAtom;
        case ItemKind::Text: return kStaticAtom;
        case ItemKind::Edit: return kEditAtom;
        case ItemKind::DropDownList: return kComboBoxAtom;
    }
    return kStaticAtom;
}

}  // namespace

uint32_t win32ItemStyle(const DialogItem& item) {
    const unsigned s = item.styles;
    DWORD style = WS_CHILD;
    switch (item.kind) {
        case ItemKind::PushButton:
            style |= BS_PUSHBUTTON | ((s & kMultiLine) ? BS_MULTILINE : 0);
            break;
        case ItemKind::GroupBox: style |= BS_GROUPBOX; break;
        case ItemKind::Text: style |= SS_LEFT | ((s & kSunken) ? SS_SUNKEN : 0); break;
        case ItemKind::Edit:
            style |= ES_LEFT | ((s & kBorder) ? WS_BORDER : 0) |
                     ((s & kAutoHScroll) ? ES_AUTOHSCROLL : 0);
            break;
        case ItemKind::DropDownList: style |= CBS_DROPDOWNLIST; break;
    }
    if (!(s & kHidden)) style |= WS_VISIBLE;
    if (s & kDisabled) style |= WS_DISABLED;
    if (s & kTabStop) style |= WS_TABSTOP;
    if (s & kGroup) style |= WS_GROUP;
    if (s & kVScroll) style |= WS_VSCROLL;
    return style;
}

std::vector<uint8_t> mainDialogTemplateBytes() {
    const DialogFrame& frame = mainDialogFrame();
    const auto items = mainDialogItems();
    TemplateWriter w;
    w.word(1);       // dlgVer
    w.word(0xFFFF);  // signature: extended template
    w.dword(0);      // helpID
    w.dword(WS_EX_APPWINDOW);
    w.dword(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT);
    w.word(static_cast<WORD>(items.size()));
    w.shortValue(frame.rect.x);
    w.shortValue(frame.rect.y);
    w.shortValue(frame.rect.width);
    w.shortValue(frame.rect.height);
    w.word(0);  // no menu
    w.word(0);  // the standard dialog class
    w.text(frame.title);
    w.word(static_cast<WORD>(frame.fontPoints));
    w.word(FW_NORMAL);
    w.byte(FALSE);  // italic
    w.byte(DEFAULT_CHARSET);
    w.text(frame.fontName);

    for (const DialogItem& item : items) {
        w.alignDword();
        w.dword(0);  // helpID
        w.dword(0);  // exStyle
        w.dword(win32ItemStyle(item));
        w.shortValue(item.rect.x);
        w.shortValue(item.rect.y);
        w.shortValue(item.rect.width);
        w.shortValue(item.rect.height);
        w.dword(static_cast<DWORD>(item.id));  // -1 for items nobody addresses
        w.word(0xFFFF);
        w.word(classAtom(item.kind));
        w.text(item.caption ? item.caption : "");
        w.word(0);  // no creation data
    }
    return w.take();
}

}  // namespace kv::ui
