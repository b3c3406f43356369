#pragma once
#include <windows.h>

#include <string_view>

#include "ui/win32/TemplateWriter.h"

namespace kv::ui {

// A DLGTEMPLATE built in memory for the program's own popup dialogs (the
// report, the history, the network printers): the frame, then its items,
// counted as they come (a count given apart once kept a window from opening).
class PopupTemplate {
public:
    PopupTemplate(DWORD style, short width, short height, std::string_view caption) {
        w_.dword(style);
        w_.dword(0);
        w_.word(0);  // the count of items
        for (short v : {short{0}, short{0}, width, height}) w_.shortValue(v);
        w_.word(0);  // no menu
        w_.word(0);  // the standard dialog class
        w_.text(caption);
        w_.word(8);
        w_.text("MS Shell Dlg");
    }
    // An item of a predefined class.
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              std::string_view title) {
        head(style, x, y, cx, cy, id);
        w_.word(0xFFFF);
        w_.word(atom);
        w_.text(title);
        w_.word(0);
    }
    // An item of a registered class, by its name (a common control).
    void item(DWORD style, short x, short y, short cx, short cy, WORD id,
              std::string_view className) {
        head(style, x, y, cx, cy, id);
        w_.text(className);
        w_.text("");
        w_.word(0);
    }
    const DLGTEMPLATE* data() const {
        return reinterpret_cast<const DLGTEMPLATE*>(w_.bytes().data());
    }

private:
    void head(DWORD style, short x, short y, short cx, short cy, WORD id) {
        w_.setWord(kCountOffset, ++items_);
        w_.alignDword();
        w_.dword(style);
        w_.dword(0);
        for (short v : {x, y, cx, cy}) w_.shortValue(v);
        w_.word(id);
    }

    static constexpr size_t kCountOffset = 8;
    TemplateWriter w_;
    WORD items_ = 0;
};

}  // namespace kv::ui
