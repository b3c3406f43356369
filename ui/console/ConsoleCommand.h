#pragma once
#include <string>

namespace kv::ui {

// One command of the terminal front end, as a click would be.
struct ConsoleCommand {
    enum class Kind { Find, Ethernet, Select, Flash, Ready, Help, History, Exit };
    Kind kind;
    std::string argument;  // address for Ethernet, path for Select
};

}  // namespace kv::ui
