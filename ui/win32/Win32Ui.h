#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "platform/Ui.h"
#include "ui/win32/Win32DialogWindow.h"

struct tagOFNA;  // OPENFILENAMEA

namespace kv::ui {

// Message boxes (MessageBoxA, no owner; no caption gives the system's
// default), the file dialog (GetOpenFileNameA, owned by the Select Firmware
// File button) and the quit request, on the UI thread whatever thread asks.
// Before the dialog exists and after it has gone, boxes show on the calling
// thread.
class Win32Ui final : public platform::Ui {
public:
    // Shows the open-file dialog `dialog` describes; true when a file was
    // chosen. Empty: the system's GetOpenFileNameA.
    using FileDialog = std::function<bool(tagOFNA& dialog)>;

    explicit Win32Ui(Win32DialogWindow& window, FileDialog fileDialog = {})
        : window_(window), fileDialog_(std::move(fileDialog)) {}

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override;
    std::optional<std::string> openFile(const platform::OpenFileRequest& request) override;
    // A quit message on the UI thread: it ends the dialog's loop, then the
    // program's.
    void postQuit(int code) override;
    // A dialog with the text in a fixed-width font (ReportDialog).
    void showReport(const std::string& caption, const std::string& text) override;

    std::optional<int> quitCode() const;

    // The filter string GetOpenFileNameA takes: description, patterns, each
    // ended by a NUL, and a final NUL.
    static std::string fileFilter(const platform::OpenFileRequest& request);

private:
    Win32DialogWindow& window_;
    FileDialog fileDialog_;
    std::atomic<bool> quitPosted_{false};
    std::atomic<int> quitCode_{0};
};

}  // namespace kv::ui
