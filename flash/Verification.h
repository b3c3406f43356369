#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/DialogControls.h"

namespace kv {

// What is known when a flash has ended.
struct FlashFacts {
    // What stopped the flash, as the user saw it; nothing when the transfer
    // went through.
    std::optional<std::string> failure;
    uint64_t bytesSent = 0;
    // The printer answered the probe after the flash.
    bool cameBack = false;
    // The versions the printer reported before and after (its ID's whole
    // "FWV:" value where the link gives one); nothing where it reports none.
    std::optional<std::string> before;
    std::optional<std::string> after;
    // The image's marker; empty when it carries none.
    std::string imageVersion;
};

// The verdict, with its detail for scripts and its line for the window.
platform::Verification verifyFlash(const FlashFacts& facts);

}  // namespace kv
