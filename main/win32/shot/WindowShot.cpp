// Renders the Windows build's main window after a verified flash into a BMP
// (docs/windows.md's picture): the real dialog finds the simulated USB printer,
// takes IMAGE and flashes it in virtual time, then the window is read off
// the screen. With --fleet, the network printers' window instead, in the
// middle of a run of IMAGE over twenty emulated printers on loopback, and
// with END.bmp again once every printer has ended. Run under Wine on an X
// display by scripts/window-shot-win32.sh.
//   kvflash-window-shot OUT.bmp IMAGE
//   kvflash-window-shot --fleet OUT.bmp IMAGE [END.bmp]
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string_view>

#include "app/MainDialog.h"
#include "fleet/FleetImage.h"
#include "main/FleetShotStage.h"
#include "main/win32/Win32World.h"
#include "platform/DialogItemIds.h"
#include "platform/sim/MemoryHistory.h"
#include "platform/sim/ScriptedUi.h"
#include "state/Context.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32DialogWindow.h"
#include "ui/win32/Win32FleetWindow.h"

namespace {

constexpr DWORD kFlashBoundMs = 60000;

void click(HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

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

// Handles messages until `done`, within the bound.
bool settleUntil(const std::function<bool()>& done) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > kFlashBoundMs) return false;
        settle(20);
    }
    return true;
}

// The network printers' window while the stage's printers flash: seven
// verified and one failed, the others held part way; then, with `end`, once
// they have all ended.
int fleetShot(kv::platform::Services& sys, const char* out, const char* imagePath,
              const char* end) {
    const kv::fleet::FleetImage image =
        kv::fleet::loadFleetImage(sys.fileReader(), sys.trustedKeys(), imagePath);
    if (!image.image) {
        std::fprintf(stderr, "kvflash-window-shot: %s\n", image.error.c_str());
        return 1;
    }
    // Winsock, which the main window's picture does not need.
    if (!sys.network().startup()) {
        std::fputs("kvflash-window-shot: no sockets\n", stderr);
        return 1;
    }
    kv::entry::FleetShotStage stage(sys.network());
    std::string error;
    if (!stage.start(image.image->facts.size, error)) {
        std::fprintf(stderr, "kvflash-window-shot: %s\n", error.c_str());
        return 1;
    }
    kv::platform::sim::ScriptedUi ui;
    stage.wireInto(sys, ui);
    kv::AppState state;
    state.firmwareFileName = imagePath;
    kv::Context ctx{state, sys};
    kv::ui::Win32FleetWindow window(
        ::GetModuleHandleA(nullptr), ctx,
        [&](size_t i) -> kv::platform::Clock& { return stage.clockFor(i); });
    kv::FleetDialog& logic = window.logic();
    logic.onPortEdited(stage.port());
    HWND hwnd = static_cast<HWND>(window.createModeless(nullptr));
    if (!hwnd) {
        std::fprintf(stderr, "kvflash-window-shot: no window (error %lu)\n", ::GetLastError());
        return 1;
    }
    logic.onScan();
    bool placed = settleUntil([&] { return !logic.picture().scanning; });
    if (placed) {
        logic.onFlashSelected();
        placed = settleUntil([&] {
            logic.onTimer();
            return stage.inPlace(logic.picture());
        });
    }
    bool saved = false;
    if (placed) {
        logic.onTimer();
        ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        settle(700);
        saved = saveWindow(hwnd, out);
    }
    stage.release();
    const bool ended = settleUntil([&] {
        logic.onTimer();
        return !logic.picture().flashing;
    });
    if (saved && ended && end) {
        settle(700);
        out = end;
        saved = saveWindow(hwnd, end);
    }
    logic.waitIdle(std::chrono::milliseconds(kFlashBoundMs));
    if (!placed || !ended) {
        std::fputs(placed ? "kvflash-window-shot: the run did not end\n"
                          : "kvflash-window-shot: the printers did not reach their places\n",
                   stderr);
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "kvflash-window-shot: cannot write %s\n", out);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool fleet = (argc == 4 || argc == 5) && std::string_view(argv[1]) == "--fleet";
    if (argc != 3 && !fleet) {
        std::fputs("usage: kvflash-window-shot [--fleet] OUT.bmp IMAGE [END.bmp]\n", stderr);
        return 2;
    }
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&common);
    kv::entry::Options options;
    options.simulate = true;
    options.fast = true;
    auto world = kv::entry::makeWin32SimulatedWorld(options);
    // The picture's flash is not one of the machine's.
    kv::platform::sim::MemoryHistory history;
    world->sys.wired.history = &history;
    if (fleet) return fleetShot(world->sys, argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    kv::AppState state;
    kv::Context ctx{state, world->sys};
    kv::platform::sim::ScriptedUi ui;
    kv::ui::Win32DialogWindow window(::GetModuleHandleA(nullptr));
    kv::ui::Win32DialogControls controls(window);
    kv::ui::Win32DialogHost host(window);
    // As the program does: the main window shows the Network Printers button.
    host.offerFleetWindow(ctx, ::GetModuleHandleA(nullptr));
    kv::MainDialog dialog(ctx, host);
    kv::wireFrontEnd(ctx, ui, controls);
    window.attach(&dialog);
    HWND hwnd = static_cast<HWND>(window.createModeless(nullptr));
    if (!hwnd) {
        std::fprintf(stderr, "kvflash-window-shot: no window (error %lu)\n", ::GetLastError());
        return 1;
    }
    click(hwnd, kv::dialog::kFindPrinter);
    ui.queueFile(std::string(argv[2]));
    click(hwnd, kv::dialog::kSelectFile);
    click(hwnd, kv::dialog::kFlash);
    // The worker's changes arrive as messages to this thread.
    const DWORD start = ::GetTickCount();
    while (state.flashInProgress.load()) {
        if (::GetTickCount() - start > kFlashBoundMs) {
            std::fputs("kvflash-window-shot: the flash did not end\n", stderr);
            return 1;
        }
        settle(20);
    }
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    settle(700);
    if (!saveWindow(hwnd, argv[1])) {
        std::fprintf(stderr, "kvflash-window-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    ::DestroyWindow(hwnd);
    window.attach(nullptr);
    return 0;
}
