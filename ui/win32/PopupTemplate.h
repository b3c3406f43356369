#pragma once
#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace kv::ui {

// A small DLGTEMPLATE built in memory for the program's own popup dialogs
// (the report, the history): the frame, then its items.
class PopupTemplate {
public:
    static constexpr WORD kButtonAtom = 0x0080;
    static constexpr WORD kEditAtom = 0x0081;
    static constexpr WORD kStaticAtom = 0x0082;

    PopupTemplate(DWORD style, WORD items, short width, short height, std::string_view caption) {
        dword(style);
        dword(0);
        word(items);
        for (short v : {short{0}, short{0}, width, height}) word(static_cast<WORD>(v));
        word(0);  // no menu
        word(0);  // the standard dialog class
        text(caption);
        word(8);
        text("MS Shell Dlg");
    }
    // An item of a predefined class.
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              std::string_view title) {
        head(style, x, y, cx, cy, id);
        word(0xFFFF);
        word(atom);
        text(title);
        word(0);
    }
    // An item of a registered class, by its name (a common control).
    void item(DWORD style, short x, short y, short cx, short cy, WORD id,
              std::string_view className) {
        head(style, x, y, cx, cy, id);
        text(className);
        text("");
        word(0);
    }
    const DLGTEMPLATE* data() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void word(WORD w) {
        bytes_.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes_.push_back(static_cast<uint8_t>(w >> 8));
    }
    void dword(DWORD d) {
        word(static_cast<WORD>(d & 0xFFFF));
        word(static_cast<WORD>(d >> 16));
    }
    // Our own texts are ASCII.
    void text(std::string_view s) {
        for (char c : s) word(static_cast<WORD>(static_cast<unsigned char>(c)));
        word(0);
    }
    void head(DWORD style, short x, short y, short cx, short cy, WORD id) {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
        dword(style);
        dword(0);
        for (short v : {x, y, cx, cy}) word(static_cast<WORD>(v));
        word(id);
    }

    std::vector<uint8_t> bytes_;
};

}  // namespace kv::ui
