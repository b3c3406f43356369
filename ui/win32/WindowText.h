#pragma once
#include <windows.h>

#include <string>

namespace kv::ui {

// A window's whole text (an edit's, a static's).
inline std::string windowText(HWND h) {
    const int length = ::GetWindowTextLengthA(h);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = ::GetWindowTextA(h, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace kv::ui
