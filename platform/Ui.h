#pragma once
#include <optional>
#include <string>

namespace kv::platform {

enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

struct OpenFileRequest {
    std::string description;       // the filter's one entry, e.g. "Bin Files (*.bin)"
    std::string patterns;          // semicolon-separated, e.g. "*.bin"
    std::string defaultExtension;  // without the dot
    bool mustExist = true;
};

// Message boxes, the file dialog and the quit request. Every call may come
// from any thread; the front end shows it on its own UI thread.
class Ui {
public:
    virtual ~Ui() = default;
    // No caption means the application's default caption.
    virtual BoxAnswer messageBox(const std::optional<std::string>& caption, const std::string& text,
                                 BoxButtons buttons) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> openFile(const OpenFileRequest& request) = 0;
    // Ends the dialog and then the program with this code.
    virtual void postQuit(int code) = 0;
    // A long text laid out in columns (the flash history), in a fixed-width
    // font where the front end has one; a plain box otherwise.
    virtual void showReport(const std::string& caption, const std::string& text) {
        messageBox(caption, text, BoxButtons::Ok);
    }
    // A box's words where nobody is there to click it away (automatic-load
    // mode): the terminal writes them as a line of their own, a window shows
    // nothing. The caller writes them to the trace as well.
    virtual void showNotice(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
    }
};

inline void box(Ui& ui, const std::string& text) {
    ui.messageBox(std::nullopt, text, BoxButtons::Ok);
}
inline void box(Ui& ui, const std::string& caption, const std::string& text) {
    ui.messageBox(caption, text, BoxButtons::Ok);
}
inline bool askYesNo(Ui& ui, const std::optional<std::string>& caption, const std::string& text) {
    return ui.messageBox(caption, text, BoxButtons::YesNo) == BoxAnswer::Yes;
}

}  // namespace kv::platform
