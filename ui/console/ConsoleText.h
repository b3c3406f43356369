#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/EventText.h"

namespace kv::ui {

// The event lines' escaping, which lives in platform/EventText.h.
inline std::string escapeConsoleText(std::string_view text) {
    return platform::escapeEventText(text);
}
inline std::string quotedConsoleText(std::string_view text) {
    return platform::quotedEventText(text);
}

// "box \"CAPTION\" \"TEXT\"", or "box - \"TEXT\"" without a caption.
std::string boxEventLine(const std::optional<std::string>& caption, const std::string& text);

// Writes one event line whole, in one call, and flushes it: lines written
// from several threads never mix.
void writeEventLine(std::FILE* out, const std::string& line);

}  // namespace kv::ui
