#include "platform/sim/ScriptedUi.h"

namespace kv::platform::sim {

BoxAnswer ScriptedUi::messageBox(const std::optional<std::string>& caption, const std::string& text,
                                 BoxButtons buttons) {
    std::lock_guard lock(mutex_);
    BoxAnswer answer = BoxAnswer::Ok;
    if (buttons == BoxButtons::YesNo) {
        bool yes = false;
        if (!answers_.empty()) {
            yes = answers_.front();
            answers_.pop_front();
        }
        answer = yes ? BoxAnswer::Yes : BoxAnswer::No;
    }
    boxes_.push_back({caption, text, buttons, answer});
    return answer;
}

std::optional<std::string> ScriptedUi::openFile(const OpenFileRequest& request) {
    std::lock_guard lock(mutex_);
    fileRequests_.push_back(request);
    if (files_.empty()) return std::nullopt;
    auto path = files_.front();
    files_.pop_front();
    return path;
}

void ScriptedUi::postQuit(int code) {
    std::lock_guard lock(mutex_);
    quitCode_ = code;
}

void ScriptedUi::showNotice(const std::string& caption, const std::string& text) {
    std::lock_guard lock(mutex_);
    notices_.push_back(caption + ": " + text);
}

void ScriptedUi::queueAnswer(bool yes) {
    std::lock_guard lock(mutex_);
    answers_.push_back(yes);
}

void ScriptedUi::queueFile(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    files_.push_back(std::move(path));
}

std::vector<ScriptedUi::Box> ScriptedUi::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> ScriptedUi::boxTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Box& b : boxes_) texts.push_back(b.text);
    return texts;
}

std::vector<OpenFileRequest> ScriptedUi::fileRequests() const {
    std::lock_guard lock(mutex_);
    return fileRequests_;
}

std::vector<std::string> ScriptedUi::notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

std::optional<int> ScriptedUi::quitCode() const {
    std::lock_guard lock(mutex_);
    return quitCode_;
}

void ScriptedUi::clear() {
    std::lock_guard lock(mutex_);
    boxes_.clear();
    fileRequests_.clear();
    notices_.clear();
    quitCode_.reset();
}

}  // namespace kv::platform::sim
