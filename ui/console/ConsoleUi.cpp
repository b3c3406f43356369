#include "ui/console/ConsoleUi.h"

#include "ui/console/ConsoleText.h"

namespace kv::ui {

namespace {
std::string quoted(const std::string& text) { return "\"" + escapeConsoleText(text) + "\""; }
}  // namespace

void ConsoleUi::line(const std::string& text) {
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

platform::BoxAnswer ConsoleUi::messageBox(const std::optional<std::string>& caption,
                                          const std::string& text,
                                          platform::BoxButtons buttons) {
    std::lock_guard lock(mutex_);
    std::string event = "box " + (caption ? quoted(*caption) : std::string("-")) + " " + quoted(text);
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
    line("notice " + quoted(caption) + " " + quoted(text));
}

std::optional<std::string> ConsoleUi::openFile(const platform::OpenFileRequest& request) {
    std::lock_guard lock(mutex_);
    std::optional<std::string> answer = nextFile_;
    nextFile_.reset();
    if (answer) {
        if (const auto why = files_.notAFileToOpen(*answer)) {
            std::fprintf(err_, "select %s: %s\n", quoted(*answer).c_str(), why->c_str());
            std::fflush(err_);
            answer.reset();
        }
    }
    line("file-dialog " + quoted(request.description) + " " + quoted(request.patterns) + " -> " +
         (answer ? quoted(*answer) : std::string("-")));
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
