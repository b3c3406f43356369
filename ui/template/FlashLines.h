#pragma once
#include <string>

#include "platform/DialogControls.h"

namespace kv::ui {

// The texts and colours of the dialog's lines of our own, the same in
// every window.

// "NAME: SIZE bytes, version V, SHA-256 HEX" (or "no version marker"), or
// why the file cannot be read.
std::string imageLine(const platform::ImageFacts& facts);

struct Rgb {
    int red, green, blue;
};
Rgb toneColour(platform::VerdictTone tone);
Rgb verdictColour(platform::VerifyOutcome outcome);

}  // namespace kv::ui
