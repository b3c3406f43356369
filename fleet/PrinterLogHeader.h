#pragma once
#include <string>
#include <vector>

#include "fleet/FleetSettings.h"
#include "fleet/Targets.h"
#include "state/PreloadedImage.h"

namespace kv::fleet {

// The first lines of a printer's log: the run, the program, the image, the
// printer and the settings.
std::vector<std::string> printerLogHeader(const std::string& fleetId, const PreloadedImage& image,
                                          const Endpoint& endpoint, const FleetSettings& settings);

}  // namespace kv::fleet
