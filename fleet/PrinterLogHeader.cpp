#include "fleet/PrinterLogHeader.h"

#include "kvflash/Version.h"
#include "platform/Trace.h"

namespace kv::fleet {

std::vector<std::string> printerLogHeader(const std::string& fleetId, const PreloadedImage& image,
                                          const Endpoint& endpoint, const FleetSettings& settings) {
    const platform::ImageFacts& facts = image.facts;
    return {
        "fleet " + fleetId + ", " + kVersionText + "; times in ms since the run began",
        "printer " + endpoint.text(),
        "image " + platform::escapeDeviceText(image.path) + ": " + std::to_string(facts.size) +
            " bytes, version \"" + platform::escapeDeviceText(facts.version) + "\", SHA-256 " +
            facts.sha256,
        "settings " + formatSettings(settings),
    };
}

}  // namespace kv::fleet
