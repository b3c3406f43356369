#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kv::ui {

// C-style escaping for the terminal's event lines: \r \n \t \\ \" and \xHH
// for any other byte outside 0x20..0x7E.
std::string escapeConsoleText(std::string_view text);

// A text as the event lines carry it: escaped, in double quotes.
std::string quotedConsoleText(std::string_view text);

// "box \"CAPTION\" \"TEXT\"", or "box - \"TEXT\"" without a caption.
std::string boxEventLine(const std::optional<std::string>& caption, const std::string& text);

// Writes one event line whole, in one call, and flushes it: lines written
// from several threads never mix.
void writeEventLine(std::FILE* out, const std::string& line);

}  // namespace kv::ui
