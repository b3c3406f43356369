#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "state/Context.h"
#include "platform/DialogControls.h"
#include "state/PrinterData.h"

namespace kv {

// Room for the list of printers found, terminator included.
inline constexpr size_t kFoundTextSize = 1024;

// What the automatic-load search does with the one printer probed, while
// its print queues are still on the dummy port (`goOn` false: the program
// is ending). True when it started a flash, whose ending puts them back.
using AutomaticLoad = std::function<bool(bool goOn)>;

// "Find Printer" and the automatic-load search: count the KV printers on
// USB and LPT1..LPT3, insist on exactly one, probe it and (with
// `automaticLoad`, which keeps the Flash button as it is) hand it on. Does
// nothing while a flash runs.
void refreshPrinterList(Context& ctx, PrinterData& printer,
                        const AutomaticLoad& automaticLoad = {});

// Counts the KV printers on USB and on LPT1..LPT3; foundText gets one line
// per printer, cut to foundTextSize - 1 characters.
int CountConnectedKVPrinters(Context& ctx, std::string& foundText, size_t foundTextSize);

// Switches the KV queues to the dummy port, opens the one counted printer,
// reads and decodes its identity into `printer`, checks its readiness and
// fills the dialog's fields. The caller puts the queues back.
// False when it posted the quit request (the program is ending, so nothing
// may be started on the printer); true otherwise.
[[nodiscard]] bool refreshPrinterData(Context& ctx, platform::DialogControls& controls,
                                      PrinterData& printer);

}  // namespace kv
