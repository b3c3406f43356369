#include "ui/template/FlashLines.h"

namespace kv::ui {

std::string imageLine(const platform::ImageFacts& f) {
    if (!f.readable) return f.fileName + " cannot be read: " + f.reason;
    const std::string version = f.version.empty() ? "no version marker" : "version " + f.version;
    return f.fileName + ": " + std::to_string(f.size) + " bytes, " + version + ", SHA-256 " +
           f.sha256;
}

Rgb toneColour(platform::VerdictTone tone) {
    switch (tone) {
        case platform::VerdictTone::Good: return {0, 128, 0};
        case platform::VerdictTone::Doubtful: return {176, 100, 0};
        default: return {192, 0, 0};
    }
}

Rgb verdictColour(platform::VerifyOutcome outcome) {
    return toneColour(platform::verdictTone(outcome));
}

}  // namespace kv::ui
