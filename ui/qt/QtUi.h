#pragma once
#include <optional>
#include <string>

#include "platform/Ui.h"
#include "ui/qt/QtDialogWindow.h"
#include "ui/qt/UiDispatcher.h"

namespace kv::ui {

// The caption of a box that was given none.
inline constexpr const char* kDefaultBoxCaption = "kvflash";

// Boxes, the file dialog and the quit request, shown by the UI thread over
// the dialog window whatever thread asks. A caller on another thread waits
// for the answer, as it would for a system message box.
class QtUi final : public platform::Ui {
public:
    QtUi(QtDialogWindow& window, UiDispatcher& dispatcher)
        : window_(window), dispatcher_(dispatcher) {}

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override;
    // A Qt file dialog (not the desktop's), so that the pattern match is the
    // same everywhere: it ignores case, as the filter's patterns expect.
    std::optional<std::string> openFile(const platform::OpenFileRequest& request) override;
    // Ends the dialog if it is still open; the front end's run() returns the code.
    void postQuit(int code) override;
    // A dialog with the text in a fixed-width font, unwrapped and scrollable.
    void showReport(const std::string& caption, const std::string& text) override;

    // UI thread.
    std::optional<int> quitCode() const { return quitCode_; }

private:
    QtDialogWindow& window_;
    UiDispatcher& dispatcher_;
    std::optional<int> quitCode_;
};

}  // namespace kv::ui
