#pragma once
#include "app/DialogEvents.h"
#include "app/DialogHost.h"
#include "platform/DialogControls.h"
#include "platform/Ui.h"
#include "state/Context.h"

namespace kv {

// A front end as the start-up sequence takes it: the Ui and controls it
// wires into the services, the host the dialog runs in, and the dialog's
// run itself.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    virtual platform::Ui& ui() = 0;
    virtual platform::DialogControls& controls() = 0;
    virtual DialogHost& host() = 0;
    // Gives the front end what its network printers' window needs, where
    // it has one.
    virtual void offerFleetWindow(Context&) {}
    // Runs the dialog, its start first, until it ends; the exit code.
    virtual int run(DialogEvents& dialog) = 0;
};

}  // namespace kv
