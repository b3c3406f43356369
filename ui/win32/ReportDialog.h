#pragma once
#include <string>

namespace kv::ui {

// A modal dialog over `owner` (an HWND, or none) showing `text` read-only
// in a fixed-width font, scrollable both ways, with an OK button. Runs on
// the calling thread, which must be the owner's.
void showReportDialog(void* owner, const std::string& caption, const std::string& text);

}  // namespace kv::ui
