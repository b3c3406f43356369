#include "ui/console/ConsoleUi.h"

#include "ui/console/ConsoleText.h"

namespace kv::ui {

void ConsoleUi::line(const std::string& text) { writeEventLine(out_, text); }

platform::BoxAnswer ConsoleUi::messageBox(const std::optional<std::string>& caption,
                                          const std::string& text, platform::BoxButtons buttons) {
    std::lock_guard lock(mutex_);
    std::string event = boxEventLine(caption, text);
    platform::BoxAnswer answer = platform::BoxAnswer::Ok;
    if (buttons == platform::BoxButtons::YesNo) {
        answer = yes_ ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
        event += yes_ ? " -> yes" : " -> no";
    }
    line(event);
    return answer;
}

void ConsoleUi::showNotice(const std::string& caption, const std::string& text) {
    std::lock_guard lock(mutex_);
    line("notice " + quotedConsoleText(caption) + " " + quotedConsoleText(text));
}

std::optional<std::string> ConsoleUi::openFile(const platform::OpenFileRequest& request) {
    std::lock_guard lock(mutex_);
    std::optional<std::string> answer = nextFile_;
    nextFile_.reset();
    if (answer) {
        if (const auto checked = files_.fileToOpen(*answer); !checked) {
            std::fprintf(err_, "select %s: %s\n", quotedConsoleText(*answer).c_str(),
                         checked.reason().c_str());
            std::fflush(err_);
            answer.reset();
        }
    }
    line("file-dialog " + quotedConsoleText(request.description) + " " +
         quotedConsoleText(request.patterns) + " -> " +
         (answer ? quotedConsoleText(*answer) : std::string("-")));
    return answer;
}

void ConsoleUi::postQuit(int code) {
    std::lock_guard lock(mutex_);
    quitCode_ = code;
}

void ConsoleUi::setNextFile(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    nextFile_ = std::move(path);
}

std::optional<int> ConsoleUi::quitCode() const {
    std::lock_guard lock(mutex_);
    return quitCode_;
}

}  // namespace kv::ui
