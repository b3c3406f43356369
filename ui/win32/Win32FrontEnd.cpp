#include "ui/win32/Win32FrontEnd.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/win32/ResourceIds.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32DialogWindow.h"
#include "ui/win32/Win32Ui.h"

namespace kv::ui {

namespace {

// Strings of the string table hold at most 100 characters here.
constexpr int kStringCapacity = 100;

std::string loadString(HINSTANCE instance, UINT id) {
    char text[kStringCapacity] = {};
    const int n = ::LoadStringA(instance, id, text, kStringCapacity);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

struct Win32FrontEnd::Impl {
    explicit Impl(HINSTANCE i)
        : instance(i), window(i), controls(window), host(window), ui(window) {}

    HINSTANCE instance;
    Win32DialogWindow window;
    Win32DialogControls controls;
    Win32DialogHost host;
    Win32Ui ui;
    Hooks hooks;

    static LRESULT CALLBACK mainWindowProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam);
    LRESULT mainWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK Win32FrontEnd::Impl::mainWindowProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                          LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return self->mainWindowMessage(hwnd, message, wParam, lParam);
}

LRESULT Win32FrontEnd::Impl::mainWindowMessage(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            // The whole working life of the program passes in this dialog.
            window.runModal(hwnd);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == KV_IDM_ABOUT) {
                window.runModal(hwnd);
                return 0;
            }
            if (LOWORD(wParam) == KV_IDM_EXIT) {
                ::DestroyWindow(hwnd);
                return 0;
            }
            break;
        case WM_DESTROY:
            if (hooks.transferRunning && hooks.transferRunning()) {
                ::MessageBoxA(nullptr, "Cannot exit while printer FW is being updated", nullptr,
                              MB_OK);
                return 0;
            }
            if (hooks.beforeQuit) hooks.beforeQuit();
            ::PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(hwnd, &paint);
            RECT client;
            ::GetClientRect(hwnd, &client);
            const std::string title = loadString(instance, KV_IDS_APP_TITLE);
            ::DrawTextA(dc, title.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        default: break;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

Win32FrontEnd::Win32FrontEnd(void* instance, Hooks hooks)
    : impl_(std::make_unique<Impl>(static_cast<HINSTANCE>(instance))) {
    impl_->hooks = std::move(hooks);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
}

Win32FrontEnd::~Win32FrontEnd() = default;

platform::DialogControls& Win32FrontEnd::controls() { return impl_->controls; }
DialogHost& Win32FrontEnd::host() { return impl_->host; }
platform::Ui& Win32FrontEnd::ui() { return impl_->ui; }
Win32DialogWindow& Win32FrontEnd::window() { return impl_->window; }

void Win32FrontEnd::offerFleetWindow(Context& ctx) {
    impl_->host.offerFleetWindow(ctx, impl_->instance);
}

int Win32FrontEnd::run(DialogEvents& events) {
    Impl& m = *impl_;
    m.window.attach(&events);
    const std::string title = loadString(m.instance, KV_IDS_WINDOW_TITLE);
    const std::string className = loadString(m.instance, KV_IDS_WINDOW_CLASS);

    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = &Impl::mainWindowProcedure;
    cls.hInstance = m.instance;
    cls.hIcon = ::LoadIconA(m.instance, MAKEINTRESOURCEA(KV_IDI_LARGE));
    cls.hIconSm = ::LoadIconA(m.instance, MAKEINTRESOURCEA(KV_IDI_SMALL));
    cls.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszMenuName = MAKEINTRESOURCEA(KV_IDR_MAIN_MENU);
    cls.lpszClassName = className.c_str();
    ::RegisterClassExA(&cls);  // a second registration fails harmlessly

    // Never shown: its creation runs the dialog and returns when it ended.
    HWND main =
        ::CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          0, CW_USEDEFAULT, 0, nullptr, nullptr, m.instance, &m);
    m.window.attach(nullptr);
    if (!main) return 0;
    ::UpdateWindow(main);

    HACCEL accelerators = ::LoadAcceleratorsA(m.instance, MAKEINTRESOURCEA(KV_IDR_MAIN_MENU));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!accelerators || !::TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace kv::ui
