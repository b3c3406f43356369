#pragma once
#include <cstdint>
#include <string>

#include "state/Context.h"
#include "platform/DialogControls.h"
#include "platform/FileReader.h"
#include "platform/Ui.h"
#include "state/PrinterData.h"

namespace kv {

// The one entry the open-file dialog offers for a board.
struct FirmwareFileFilter {
    std::string description;
    std::string patterns;  // separated by ';'
};

FirmwareFileFilter firmwareFileFilter(LogicBoard board);

// Whether the image at `path` suits the printer, judged from the path text
// alone (case-exact substrings); shows the check's own boxes. 1 accepted,
// 0 rejected. `controls` is passed along by callers and not used.
int ValidateFirmwareFile(platform::Ui& ui, const std::string& path,
                         platform::DialogControls& controls, const PrinterData& printerData);
int ValidateFirmwareFile(Context& ctx, const std::string& path);

// Shows what the accepted file at `path` holds: its size, version marker,
// SHA-256 and signature (or why it cannot be read). False, after the box
// that says why, when its signature refuses it.
[[nodiscard]] bool showImageFacts(Context& ctx, const std::string& path);

// "Select Firmware File": the file dialog, then the check. Only an accepted
// file is left in firmwareFileName with the Flash button live; any other
// outcome empties the name and takes the button away.
void SelectFirmwareFile(Context& ctx);

}  // namespace kv
