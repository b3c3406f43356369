#pragma once
#include <string>
#include <string_view>

namespace kv::ui {

// C-style escaping for the terminal's event lines: \r \n \t \\ \" and \xHH
// for any other byte outside 0x20..0x7E.
std::string escapeConsoleText(std::string_view text);

}  // namespace kv::ui
