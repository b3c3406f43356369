#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DialogControls.h"

namespace kv {

// Whether a printer reporting `reported` runs the image whose "FWV:" marker
// is `marker`, as whole tokens: the same text, or the marker followed only
// by characters that are neither letters nor digits (a ZOR1 printer reports
// "V1.02)" for "V1.02"). "V5.21" does not run "V5.2". An empty marker
// matches nothing.
bool versionsMatch(std::string_view reported, std::string_view marker);

// What is known when a flash has ended.
struct FlashFacts {
    // What stopped the flash, as the user saw it; nothing when the transfer
    // went through.
    std::optional<std::string> failure;
    uint64_t bytesSent = 0;
    // The printer answered the probe after the flash.
    bool cameBack = false;
    // The versions the printer reported before and after; nothing where the
    // link reports none.
    std::optional<std::string> before;
    std::optional<std::string> after;
    // The image's marker; empty when it carries none.
    std::string imageVersion;
};

// The verdict, with its detail for scripts and its line for the window.
platform::Verification verifyFlash(const FlashFacts& facts);

}  // namespace kv
