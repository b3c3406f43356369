#include "ui/win32/Win32Ui.h"

#include <windows.h>
#include <commdlg.h>

#include "ui/win32/ReportDialog.h"

namespace kv::ui {

platform::BoxAnswer Win32Ui::messageBox(const std::optional<std::string>& caption,
                                        const std::string& text, platform::BoxButtons buttons) {
    const bool yesNo = buttons == platform::BoxButtons::YesNo;
    int pressed = 0;
    const auto show = [&] {
        pressed = ::MessageBoxA(nullptr, text.c_str(), caption ? caption->c_str() : nullptr,
                                yesNo ? MB_YESNO : MB_OK);
    };
    if (!window_.runOnUi(show)) show();
    if (!yesNo) return platform::BoxAnswer::Ok;
    return pressed == IDYES ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
}

std::string Win32Ui::fileFilter(const platform::OpenFileRequest& request) {
    std::string filter = request.description;
    filter += '\0';
    filter += request.patterns;
    filter += '\0';
    filter += '\0';
    return filter;
}

std::optional<std::string> Win32Ui::openFile(const platform::OpenFileRequest& request) {
    std::optional<std::string> chosen;
    window_.runOnUi([&] {
        const std::string filter = fileFilter(request);
        char path[MAX_PATH] = {};
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = static_cast<HWND>(
            window_.item(platform::controlId(platform::Control::selectFileButton)));
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = path;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrDefExt =
            request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
        dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                       (request.mustExist ? OFN_FILEMUSTEXIST : 0);
        const bool picked =
            fileDialog_ ? fileDialog_(dialog) : ::GetOpenFileNameA(&dialog) != FALSE;
        if (picked) chosen = std::string(path);
    });
    return chosen;
}

void Win32Ui::showReport(const std::string& caption, const std::string& text) {
    const auto show = [&] { showReportDialog(window_.hwnd(), caption, text); };
    if (!window_.runOnUi(show)) show();
}

void Win32Ui::postQuit(int code) {
    quitCode_ = code;
    quitPosted_ = true;
    window_.runOnUi([code] { ::PostQuitMessage(code); });
}

std::optional<int> Win32Ui::quitCode() const {
    if (!quitPosted_.load()) return std::nullopt;
    return quitCode_.load();
}

}  // namespace kv::ui
