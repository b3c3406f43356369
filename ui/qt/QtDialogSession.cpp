#include "ui/qt/QtDialogSession.h"

namespace kv::ui {

QtDialogSession::~QtDialogSession() {
    dispatcher_.close();
    window_.attach(nullptr);
}

int QtDialogSession::run(DialogEvents& events) {
    window_.attach(&events);
    // As a dialog's initialisation: before it is first shown.
    events.onInit();
    if (!window_.finished()) {
        window_.focusFirstControl();
        window_.exec();
    }
    dispatcher_.close();
    window_.attach(nullptr);
    return ui_.quitCode().value_or(0);
}

}  // namespace kv::ui
