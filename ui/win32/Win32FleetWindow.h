#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/FleetDialog.h"

namespace kv::ui {

// The network printers' window as a resizable Win32 dialog over the fleet
// logic: targets and port, Scan, the image line, a report-mode list view
// with a check box per printer the image suits, its progress as a bar, the
// phase (with how it ended and why: Wine shows no tips) and the verdict in
// the main window's colours (custom draw), columns as wide as their texts,
// the printers that may be left in flash mode with the advice and Copy
// Addresses, the summary, Flash Selected, Stop and Close. Ctrl+A checks
// every printer the image suits, Space toggles the focused row; a row's
// context menu copies its detail or opens the History table of its
// printer. It opens tall enough for kFleetDefaultRows rows where the screen
// allows, or at the size it was left at. The logic lives as long as this
// object, across openings. UI thread only.
class Win32FleetWindow final : private FleetWindowHost {
public:
    // Item ids.
    enum : int {
        kTargets = 301,
        kPort,
        kScan,
        kSelectFile,
        kImageLine,
        kList,
        kUnreachable,
        kSummary,
        kFlashSelected,
        kStop,
        kAdvice,
        kCopyAddresses,
        kPrintersLabel,
        kPortLabel,
    };

    Win32FleetWindow(void* instance, Context& ctx,
                     std::function<platform::Clock&(size_t)> clockFor = {});
    ~Win32FleetWindow() override;
    Win32FleetWindow(const Win32FleetWindow&) = delete;
    Win32FleetWindow& operator=(const Win32FleetWindow&) = delete;

    // Runs the window modally over `owner` (an HWND) until it is closed.
    void runModal(void* owner);
    // The same, modeless, left to the caller's message loop (tests).
    void* createModeless(void* owner);

    void* hwnd() const { return hwnd_; }
    FleetDialog& logic() { return logic_; }
    // The colour (a COLORREF) a row's phase is drawn in; nothing: the list's own.
    std::optional<unsigned long> phaseColour(int row) const;

    // The dialog procedure's body, for the procedure only.
    bool dialogMessage(void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam,
                       intptr_t& result);

private:
    // A row's bar, drawn in its Progress cell.
    struct Bar {
        uint64_t value = 0;
        uint64_t maximum = 0;
    };

    void draw(const FleetPicture& picture) override;
    void startTimer(unsigned intervalMs) override;
    void stopTimer() override;
    void showHistory(const HistoryView& view) override;
    void initialise();
    void setItemText(int row, int column, const std::string& text);
    void fitColumns(const FleetPicture& picture);
    void layOut();
    void openAtSize();
    bool drawBar(void* customDraw);
    bool notify(intptr_t lParam, intptr_t& result);
    void rowMenu(int x, int y);
    void copy(const std::string& text);
    void close();

    void* instance_;
    FleetDialog logic_;
    void* hwnd_ = nullptr;
    bool modal_ = false;
    bool drawing_ = false;
    bool opened_ = false;
    std::vector<std::optional<unsigned long>> colours_;
    std::vector<Bar> bars_;
    // Each column's width for its widest text, by the last drawing.
    std::vector<int> fitted_;
    bool adviceShown_ = false;
};

}  // namespace kv::ui
