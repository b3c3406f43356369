// Renders the Windows build's main window, filled as during a flash of a
// found printer, into a BMP (the README's picture); run under Wine on an X
// display by scripts/window-shot-win32.sh.
//   kvflash-window-shot OUT.bmp
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>

#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogWindow.h"
#include "ui/template/ShotScene.h"

using kv::platform::Control;

namespace {

void fill(kv::platform::DialogControls& c) {
    // The start state.
    for (Control field :
         {Control::flashButton, Control::programStatusText, Control::programStateText,
          Control::programGroup, Control::programStateLabel, Control::programStatusLabel}) {
        c.enable(field, false);
    }
    c.setText(Control::ipOctetEdit1, "192");
    c.setText(Control::ipOctetEdit2, "168");
    c.setText(Control::ipOctetEdit3, "0");
    c.setText(Control::ipOctetEdit4, "1");
    c.setText(Control::portEdit, "10001");
    kv::ui::showFlashUnderWay(c);
}

// The screen as X shows it lags behind the painting: messages are handled
// for a while before the window is read off the screen.
void settle(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    }
}

bool saveWindow(HWND hwnd, const char* path) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(memory, old);
    const DWORD rowBytes = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD header = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER file{0x4D42, header + rowBytes * static_cast<DWORD>(h), 0, 0, header};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), rowBytes * static_cast<DWORD>(h));
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return out.good();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kvflash-window-shot OUT.bmp\n", stderr);
        return 2;
    }
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&common);
    kv::ui::Win32DialogWindow window(::GetModuleHandleA(nullptr));
    kv::ui::Win32DialogControls controls(window);
    HWND hwnd = static_cast<HWND>(window.createModeless(nullptr));
    if (!hwnd) {
        std::fprintf(stderr, "kvflash-window-shot: no window (error %lu)\n", ::GetLastError());
        return 1;
    }
    fill(controls);
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    settle(700);
    if (!saveWindow(hwnd, argv[1])) {
        std::fprintf(stderr, "kvflash-window-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    ::DestroyWindow(hwnd);
    return 0;
}
