#pragma once
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Ui.h"

namespace kv::ui {

// Boxes and the file dialog as event lines on a stream; Yes/No answered by
// a fixed choice, the file dialog by a path given in advance.
class ConsoleUi final : public platform::Ui {
public:
    explicit ConsoleUi(std::FILE* out, bool answerYes = false) : out_(out), yes_(answerYes) {}

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text,
                                   platform::BoxButtons buttons) override;
    std::optional<std::string> openFile(const platform::OpenFileRequest& request) override;
    void postQuit(int code) override;

    // What the next file dialog answers; nothing cancels it.
    void setNextFile(std::optional<std::string> path);
    std::optional<int> quitCode() const;

private:
    void line(const std::string& text);
    std::FILE* out_;
    bool yes_;
    mutable std::mutex mutex_;
    std::optional<std::string> nextFile_;
    std::optional<int> quitCode_;
};

}  // namespace kv::ui
