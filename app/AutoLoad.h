#pragma once
#include "state/Context.h"
#include "state/PrinterData.h"

namespace kv {

// The automatic-load search: Find Printer, and with the one printer found
// (its print queues still on the dummy port) the image beside the program
// checked against it and flashed.
void searchAndLoadAutomatically(Context& ctx, PrinterData& printer);

}  // namespace kv
