#pragma once
#include <string>

#include "state/PrinterData.h"

namespace kv {

// The box of a printer that is not ready when Flash Printer NOW asks it,
// on either link.
std::string notReadyText(const PrinterData& printer);

}  // namespace kv
