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

}  // namespace kv
