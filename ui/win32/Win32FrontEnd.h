#pragma once
// The native window of kvflash on Windows, for the entry point:
//
//   kv::ui::Win32FrontEnd window(instance, hooks);
//   return kv::entry::runDialog(ctx, window);
//
// run() registers the hidden main window's class and creates the window;
// its creation runs the main dialog modally. When the dialog has ended, the
// message loop (with the window's accelerators) takes the quit request and
// run() returns its code; 0 when the main window cannot be created.
// Controls, boxes and the file dialog may be used from any thread while the
// dialog runs; afterwards calls from other threads are dropped.
#include <functional>
#include <memory>

#include "app/FrontEnd.h"

namespace kv::ui {

class Win32DialogWindow;

class Win32FrontEnd final : public FrontEnd {
public:
    // What the hidden main window asks the program when it is destroyed.
    struct Hooks {
        // True while a transfer runs: the window then refuses to end.
        std::function<bool()> transferRunning;
        // Before the quit request (the sockets library ends here).
        std::function<void()> beforeQuit;
    };

    Win32FrontEnd(void* instance, Hooks hooks);  // HINSTANCE with the resources
    ~Win32FrontEnd();
    Win32FrontEnd(const Win32FrontEnd&) = delete;
    Win32FrontEnd& operator=(const Win32FrontEnd&) = delete;

    platform::DialogControls& controls() override;
    DialogHost& host() override;
    void offerFleetWindow(Context& ctx) override;
    platform::Ui& ui() override;
    Win32DialogWindow& window();

    int run(DialogEvents& events) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kv::ui
