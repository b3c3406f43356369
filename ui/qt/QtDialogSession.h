#pragma once
#include "app/DialogEvents.h"
#include "ui/qt/QtDialogControls.h"
#include "ui/qt/QtDialogHost.h"
#include "ui/qt/QtDialogWindow.h"
#include "ui/qt/QtUi.h"
#include "ui/qt/UiDispatcher.h"

namespace kv::ui {

// The dialog window with its three faces for the dialog logic. Needs a
// QApplication; QtFrontEnd supplies one.
class QtDialogSession {
public:
    QtDialogSession() = default;
    QtDialogSession(const QtDialogSession&) = delete;
    QtDialogSession& operator=(const QtDialogSession&) = delete;
    ~QtDialogSession();

    QtDialogWindow& window() { return window_; }
    QtDialogControls& controls() { return controls_; }
    QtDialogHost& host() { return host_; }
    QtUi& ui() { return ui_; }

    // Initialises the dialog, shows it and runs it until it ends; returns the
    // quit request's code (0 when none came). Afterwards, calls from other
    // threads are dropped.
    int run(DialogEvents& events);

private:
    QtDialogWindow window_;
    UiDispatcher dispatcher_{window_};
    QtDialogControls controls_{window_, dispatcher_};
    QtDialogHost host_{window_, dispatcher_};
    QtUi ui_{window_, dispatcher_};
};

}  // namespace kv::ui
