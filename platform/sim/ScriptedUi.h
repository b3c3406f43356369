#pragma once
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace kv::platform::sim {

// Records every box and answers from a script, for tests.
class ScriptedUi final : public Ui {
public:
    struct Box {
        std::optional<std::string> caption;
        std::string text;
        BoxButtons buttons;
        BoxAnswer answer;
    };

    BoxAnswer messageBox(const std::optional<std::string>& caption, const std::string& text,
                         BoxButtons buttons) override;
    std::optional<std::string> openFile(const OpenFileRequest& request) override;
    void postQuit(int code) override;
    void showNotice(const std::string& caption, const std::string& text) override;

    // Answers for Yes/No boxes, in order; when none is queued the answer is No.
    void queueAnswer(bool yes);
    // Answers for the file dialog, in order; nullopt cancels. None queued cancels.
    void queueFile(std::optional<std::string> path);

    std::vector<Box> boxes() const;
    std::vector<std::string> boxTexts() const;
    std::vector<OpenFileRequest> fileRequests() const;
    // Each notice as "CAPTION: TEXT".
    std::vector<std::string> notices() const;
    std::optional<int> quitCode() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> files_;
    std::vector<OpenFileRequest> fileRequests_;
    std::vector<std::string> notices_;
    std::optional<int> quitCode_;
};

}  // namespace kv::platform::sim
