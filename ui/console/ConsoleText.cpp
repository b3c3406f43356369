#include "ui/console/ConsoleText.h"

namespace kv::ui {

std::string boxEventLine(const std::optional<std::string>& caption, const std::string& text) {
    return "box " + (caption ? quotedConsoleText(*caption) : std::string("-")) + " " +
           quotedConsoleText(text);
}

void writeEventLine(std::FILE* out, const std::string& line) {
    std::fputs((line + "\n").c_str(), out);
    std::fflush(out);
}

}  // namespace kv::ui
