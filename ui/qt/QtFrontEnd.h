#pragma once
// The desktop window of kvflash (Qt 6 Widgets), for the entry point. It
// includes no Qt header. Use:
//
//   if (kv::ui::desktopAvailable()) {
//       kv::ui::QtFrontEnd window(argc, argv);  // the QApplication and the window
//       return kv::entry::runDialog(ctx, window);
//   }
//
// run() returns the code of the quit request (0 when none came). Controls,
// boxes and the file dialog may be used from any thread while run() is
// running; afterwards calls from other threads are dropped. The object must
// outlive every thread that may still call it.
#include <memory>

#include "app/FrontEnd.h"

namespace kv::ui {

// Whether a desktop session is there to show a window on: a display
// (DISPLAY or WAYLAND_DISPLAY), or a Qt platform chosen explicitly through
// QT_QPA_PLATFORM (e.g. offscreen).
bool desktopAvailable();

class QtFrontEnd final : public FrontEnd {
public:
    // `argc` must outlive the object (Qt keeps a reference to it).
    QtFrontEnd(int& argc, char** argv);
    ~QtFrontEnd();
    QtFrontEnd(const QtFrontEnd&) = delete;
    QtFrontEnd& operator=(const QtFrontEnd&) = delete;

    platform::DialogControls& controls() override;
    DialogHost& host() override;
    void offerFleetWindow(Context& ctx) override;
    platform::Ui& ui() override;
    int run(DialogEvents& events) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kv::ui
