#pragma once
#include <string>
#include <vector>

#include "fleet/FleetRun.h"
#include "fleet/Targets.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// A run's settings as the terminal's options say them, so a reader can run
// the same again.
std::string formatSettings(const FleetSettings& settings);

// The first lines of a printer's log: the run, the program, the image, the
// printer and the settings.
std::vector<std::string> printerLogHeader(const std::string& fleetId, const PreloadedImage& image,
                                          const Endpoint& endpoint, const FleetSettings& settings);

}  // namespace kv::fleet
