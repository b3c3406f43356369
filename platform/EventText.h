#pragma once
#include <string>
#include <string_view>

namespace kv::platform {

// C-style escaping for the event lines a terminal or a script reads:
// \r \n \t \\ \" and \xHH for any other byte outside 0x20..0x7E. Device
// text and anything the user typed goes through it before it is shown.
std::string escapeEventText(std::string_view text);

// A text as the event lines carry it: escaped, in double quotes.
std::string quotedEventText(std::string_view text);

}  // namespace kv::platform
