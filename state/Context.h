#pragma once
#include "platform/Services.h"
#include "state/AppState.h"

namespace kv {

// What the dialog's behaviour and the procedures below it work on: the
// application state and the platform services.
struct Context {
    AppState& state;
    platform::Services& sys;

    platform::Clock& clock() const { return sys.clock(); }
    platform::Trace& trace() const { return sys.trace(); }
    platform::Ui& ui() const { return sys.ui(); }
    platform::DialogControls& controls() const { return sys.controls(); }
};

// Wires a front end into ctx's services: its controls, and its Ui behind
// the flash record's box tap. Every service must then be wired: a missing
// one ends the start with its name.
inline void wireFrontEnd(Context& ctx, platform::Ui& ui, platform::DialogControls& controls) {
    BoxTap& tap = ctx.state.flashAttempt.boxTap;
    tap.showThrough(ui);
    ctx.sys.wired.ui = &tap;
    ctx.sys.wired.controls = &controls;
    ctx.sys.requireWired(platform::Services::Stage::FrontEndWired);
}

}  // namespace kv
