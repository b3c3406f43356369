#include "fleet/PrinterLogHeader.h"

#include "kvflash/Version.h"
#include "platform/Trace.h"

namespace kv::fleet {

std::string formatSettings(const FleetSettings& settings) {
    std::string out = "--parallel " + std::to_string(settings.parallel) + " --canary " +
                      std::to_string(settings.canary) + " --max-failures " +
                      std::to_string(settings.maxFailures) + " --same-version " +
                      (settings.flashSameVersion ? "flash" : "skip");
    if (settings.uncheckedOk) out += " --unchecked-ok";
    return out;
}

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
