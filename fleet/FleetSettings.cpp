#include "fleet/FleetSettings.h"

#include "platform/Trace.h"

namespace kv::fleet {

std::string formatSettings(const FleetSettings& settings) {
    std::string out = "--parallel " + std::to_string(settings.parallel) + " --canary " +
                      std::to_string(settings.canary) + " --max-failures " +
                      std::to_string(settings.maxFailures) + " --same-version " +
                      (settings.flashSameVersion ? "flash" : "skip");
    if (settings.uncheckedOk) out += " --unchecked-ok";
    for (const std::string& maker : settings.makers) {
        if (maker != kDefaultMaker) out += " --maker " + platform::escapeDeviceText(maker);
    }
    return out;
}

}  // namespace kv::fleet
