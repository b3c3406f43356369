#pragma once
#include "state/AppState.h"
#include "platform/Services.h"

namespace kv {

struct Context {
    AppState& state;
    platform::Services& sys;

    platform::Clock& clock() const { return platform::require(sys.clock, "clock"); }
    platform::Trace& trace() const { return platform::require(sys.trace, "trace"); }
    platform::Ui& ui() const { return platform::require(sys.ui, "ui"); }
    platform::DialogControls& controls() const {
        return platform::require(sys.controls, "controls");
    }
};

}  // namespace kv
