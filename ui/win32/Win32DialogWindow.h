#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/DialogEvents.h"
#include "platform/DialogControls.h"

namespace kv::ui {

// The main dialog as a Win32 dialog: created from the in-memory template,
// with the transfer's progress bar (a common-controls progress bar) added
// under the program lines and the dialog's icons set. Clicks, edits, the
// option list, the timer, Escape and the close box go to the attached
// DialogEvents, on the UI thread (the thread that runs runModal).
class Win32DialogWindow {
public:
    explicit Win32DialogWindow(void* instance);  // HINSTANCE with the icons
    Win32DialogWindow(const Win32DialogWindow&) = delete;
    Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

    void attach(DialogEvents* events) { events_ = events; }

    // Runs the dialog modally, owned by `owner`; the result EndDialog gave.
    intptr_t runModal(void* owner);
    // The same, but modeless: created and initialised, shown, and left to
    // the caller's message loop (tests).
    void* createModeless(void* owner);

    void* hwnd() const { return hwnd_.load(); }
    void* item(int id) const;
    void* progressBar() const { return progress_; }
    bool onUiThread() const;

    // Runs work on the UI thread: at once there, else through a message
    // sent to the dialog, which the caller waits for as for a window-text
    // message. False when the dialog is gone (the work did not run).
    bool runOnUi(const std::function<void()>& work);

    // UI thread: the progress bar shows where a transfer is.
    void applyProgress(const platform::TransferProgress& progress);
    // UI thread: the image line, and the verdict in its colour.
    void applyImageFacts(const std::optional<platform::ImageFacts>& facts);
    void applyVerification(const std::optional<platform::Verification>& verification);

    // The verdict line's text colour for WM_CTLCOLORSTATIC: its brush, or
    // nothing for the dialog's own colours. For the procedure only.
    void* staticColours(uintptr_t wParam, intptr_t lParam);

    // The dialog procedure's body, for the procedure only.
    bool dialogMessage(void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam);

private:
    bool handle(unsigned message, uintptr_t wParam, intptr_t lParam);
    void initialise();

    void* instance_;
    std::vector<uint8_t> template_;
    DialogEvents* events_ = nullptr;
    std::atomic<void*> hwnd_{nullptr};
    std::atomic<unsigned long> uiThread_{0};
    void* progress_ = nullptr;
    // The verdict line's colour (a COLORREF) and bold font; none: the
    // dialog's own.
    std::optional<unsigned long> verdictColour_;
    void* boldFont_ = nullptr;
};

}  // namespace kv::ui
