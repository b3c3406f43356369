#include "ui/template/FlashLines.h"

#include "platform/EventText.h"

namespace kv::ui {

std::string imageLine(const platform::ImageFacts& f) {
    if (!f.readable) return f.fileName + " cannot be read: " + f.reason;
    const std::string version = f.version.empty() ? "no version marker" : "version " + f.version;
    std::string line =
        f.fileName + ": " + std::to_string(f.size) + " bytes, " + version + ", SHA-256 " + f.sha256;
    const platform::SignatureFacts& s = f.signature;
    if (!s.shown) return line;
    if (s.good) {
        line += "; signed by " + s.keyId + ": " + platform::quotedEventText(s.trustedComment);
    } else {
        line += std::string(s.checking ? "; refused: " : "; signature ") + s.reason;
    }
    if (!s.extraKeys.empty()) line += " (keys also from " + s.extraKeys + ")";
    return line;
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
