#pragma once
#include "state/Context.h"
#include "platform/DialogControls.h"
#include "state/PrinterData.h"

namespace kv {

// "Find Ethernet Printer": connects to the address and port typed into the
// dialog (ctx.state.ipAddressText, portNumberText) through
// ctx.state.ethernetSocket, reads and decodes the printer's ID into
// `printer`, fills the identity fields and checks readiness; the socket is
// closed again before it returns. Leaves printerCount and the print queues
// alone. True when a printer was found and reported ready, so the caller
// can offer the Ethernet road.
[[nodiscard]] bool findEthernetPrinter(Context& ctx, platform::DialogControls& controls,
                                       PrinterData& printer);

}  // namespace kv
