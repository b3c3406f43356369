#include "ui/win32/Win32DialogWindow.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/DialogItemIds.h"
#include "ui/template/DialogTemplate.h"
#include "ui/win32/DialogTemplateBytes.h"
#include "ui/win32/ResourceIds.h"
#include "ui/win32/WindowText.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {

namespace {

// wParam: 0, lParam: the Job to run on the UI thread.
constexpr UINT kRunOnUiMessage = WM_APP + 1;

struct Job {
    const std::function<void()>* work;
    bool ran = false;
};

HWND asHwnd(void* h) { return static_cast<HWND>(h); }

bool isAddressEdit(int id) { return id >= dialog::kIpOctet4 && id <= dialog::kPortEdit; }

}  // namespace

INT_PTR CALLBACK dialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

Win32DialogWindow::Win32DialogWindow(void* instance)
    : instance_(instance), template_(mainDialogTemplateBytes()) {}

void* Win32DialogWindow::item(int id) const { return ::GetDlgItem(asHwnd(hwnd()), id); }

bool Win32DialogWindow::onUiThread() const { return ::GetCurrentThreadId() == uiThread_.load(); }

intptr_t Win32DialogWindow::runModal(void* owner) {
    uiThread_ = ::GetCurrentThreadId();
    return ::DialogBoxIndirectParamA(
        static_cast<HINSTANCE>(instance_), reinterpret_cast<LPCDLGTEMPLATEA>(template_.data()),
        asHwnd(owner), dialogProcedure, reinterpret_cast<LPARAM>(this));
}

void* Win32DialogWindow::createModeless(void* owner) {
    uiThread_ = ::GetCurrentThreadId();
    HWND h = ::CreateDialogIndirectParamA(
        static_cast<HINSTANCE>(instance_), reinterpret_cast<LPCDLGTEMPLATEA>(template_.data()),
        asHwnd(owner), dialogProcedure, reinterpret_cast<LPARAM>(this));
    if (h) ::ShowWindow(h, SW_SHOW);
    return h;
}

bool Win32DialogWindow::runOnUi(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return true;
    }
    HWND h = asHwnd(hwnd_.load());
    if (!h) return false;
    Job job{&work};
    ::SendMessageA(h, kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&job));
    return job.ran;
}

void Win32DialogWindow::applyProgress(const platform::TransferProgress& p) {
    HWND bar = asHwnd(progress_);
    if (!bar) return;
    const bool visible = p.phase != platform::TransferPhase::None && p.total > 0;
    if (visible) {
        // The bar counts in 32 bits; large totals are scaled down together.
        uint64_t total = p.total;
        uint64_t done = p.done < p.total ? p.done : p.total;
        while (total > 0x7FFFFFFF) {
            total >>= 1;
            done >>= 1;
        }
        ::SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
        ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    }
    ::ShowWindow(bar, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32DialogWindow::applyImageFacts(const std::optional<platform::ImageFacts>& facts) {
    const std::string text = facts ? imageLine(*facts) : std::string();
    if (HWND h = asHwnd(item(dialog::kImageText))) ::SetWindowTextA(h, text.c_str());
}

void Win32DialogWindow::applyVerification(
    const std::optional<platform::Verification>& verification) {
    HWND h = asHwnd(item(dialog::kVerifyText));
    if (!h) return;
    if (verification) {
        const Rgb c = verdictColour(verification->outcome);
        verdictColour_ = RGB(c.red, c.green, c.blue);
    } else {
        verdictColour_.reset();
    }
    ::SetWindowTextA(h, verification ? verification->line.c_str() : "");
    ::InvalidateRect(h, nullptr, TRUE);
}

void* Win32DialogWindow::staticColours(uintptr_t wParam, intptr_t lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (!verdictColour_ || ::GetDlgCtrlID(control) != dialog::kVerifyText) return nullptr;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(dc, *verdictColour_);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

INT_PTR CALLBACK dialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32DialogWindow*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Win32DialogWindow*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    }
    // A dialog answers the colour message with the brush itself.
    if (message == WM_CTLCOLORSTATIC && self) {
        return reinterpret_cast<INT_PTR>(self->staticColours(wParam, lParam));
    }
    return self && self->dialogMessage(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

bool Win32DialogWindow::dialogMessage(void* hwnd, unsigned message, uintptr_t wParam,
                                      intptr_t lParam) {
    if (message == WM_INITDIALOG) hwnd_ = hwnd;
    if (message == WM_NCDESTROY) {
        hwnd_ = nullptr;
        progress_ = nullptr;
        if (boldFont_) ::DeleteObject(static_cast<HFONT>(boldFont_));
        boldFont_ = nullptr;
        return false;
    }
    return handle(message, wParam, lParam);
}

void Win32DialogWindow::initialise() {
    HWND h = asHwnd(hwnd());
    // Place and size converted each on its own, as for the template's items.
    RECT r{kTransferProgressRect.x, kTransferProgressRect.y, kTransferProgressRect.width,
           kTransferProgressRect.height};
    ::MapDialogRect(h, &r);
    progress_ =
        ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | PBS_SMOOTH, r.left, r.top, r.right,
                          r.bottom, h, nullptr, static_cast<HINSTANCE>(instance_), nullptr);
    // The verdict stands out in bold.
    if (HWND verdict = asHwnd(item(dialog::kVerifyText))) {
        LOGFONTA font{};
        HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
        if (dialogFont && ::GetObjectA(dialogFont, sizeof font, &font) == sizeof font) {
            font.lfWeight = FW_BOLD;
            boldFont_ = ::CreateFontIndirectA(&font);
            if (boldFont_)
                ::SendMessageA(verdict, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
        }
    }
    HINSTANCE instance = static_cast<HINSTANCE>(instance_);
    if (HANDLE smallIcon =
            ::LoadImageA(instance, MAKEINTRESOURCEA(KV_IDI_SMALL), IMAGE_ICON, 16, 16, 0)) {
        ::SendMessageA(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    }
    if (HANDLE largeIcon =
            ::LoadImageA(instance, MAKEINTRESOURCEA(KV_IDI_LARGE), IMAGE_ICON, 32, 32, 0)) {
        ::SendMessageA(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
    }
}

bool Win32DialogWindow::handle(unsigned message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_INITDIALOG:
            initialise();
            if (events_) events_->onInit();
            return true;  // the system sets the default focus
        case kRunOnUiMessage: {
            auto* job = reinterpret_cast<Job*>(lParam);
            (*job->work)();
            job->ran = true;
            return true;
        }
        case WM_TIMER:
            if (events_) events_->onTimer(static_cast<int>(wParam));
            return true;

        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (!events_) return false;
            if (code == EN_CHANGE && isAddressEdit(id)) {
                events_->onEditChanged(id, windowText(reinterpret_cast<HWND>(lParam)));
                return true;
            }
            if (code == CBN_SELCHANGE && id == dialog::kOptionList && lParam != 0) {
                const LRESULT index =
                    ::SendMessageA(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0);
                events_->onOptionSelected(static_cast<int>(index));
                return true;
            }
            if (code == BN_CLICKED) {
                events_->onCommand(id);
                return true;
            }
            return false;
        }
        default: return false;
    }
}

}  // namespace kv::ui
