#pragma once
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Files.h"
#include "platform/Ui.h"

namespace kv::ui {

// Boxes and the file dialog as event lines on a stream; Yes/No answered by
// a fixed choice, the file dialog by a path given in advance. Like the
// window's dialog, it returns only an existing regular file: any other path
// is a cancelled dialog, with the reason as one line on `err`.
class ConsoleUi final : public platform::Ui {
public:
    ConsoleUi(std::FILE* out, platform::Files& files, bool answerYes = false,
              std::FILE* err = stderr)
        : out_(out), err_(err), files_(files), yes_(answerYes) {}

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override;
    std::optional<std::string> openFile(const platform::OpenFileRequest& request) override;
    void postQuit(int code) override;
    // "notice \"CAPTION\" \"TEXT\"".
    void showNotice(const std::string& caption, const std::string& text) override;

    // What the next file dialog answers; nothing cancels it.
    void setNextFile(std::optional<std::string> path);
    std::optional<int> quitCode() const;

private:
    void line(const std::string& text);
    std::FILE* out_;
    std::FILE* err_;
    platform::Files& files_;
    bool yes_;
    mutable std::mutex mutex_;
    std::optional<std::string> nextFile_;
    std::optional<int> quitCode_;
};

}  // namespace kv::ui
