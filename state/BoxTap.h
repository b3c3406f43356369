#pragma once
#include <optional>
#include <string>

#include "platform/Ui.h"
#include "state/BoxLog.h"

namespace kv {

// The front end's own Ui with the text of every box (and a Yes/No box's
// answer) noted in a log, from whichever thread showed it. Put in front of
// the front end's Ui once, when the front end is wired, before any worker
// runs.
class BoxTap final : public platform::Ui {
public:
    explicit BoxTap(BoxLog& log) : log_(log) {}
    void showThrough(platform::Ui& inner) { inner_ = &inner; }

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override {
        const platform::BoxAnswer answer = inner_->messageBox(caption, text, buttons);
        if (buttons != platform::BoxButtons::YesNo) {
            log_.add(text);
        } else {
            log_.add(text + (answer == platform::BoxAnswer::Yes ? " -> yes" : " -> no"));
        }
        return answer;
    }
    std::optional<std::string> openFile(const platform::OpenFileRequest& request) override {
        return inner_->openFile(request);
    }
    void postQuit(int code) override { inner_->postQuit(code); }
    void showReport(const std::string& caption, const std::string& text) override {
        inner_->showReport(caption, text);
    }
    void showNotice(const std::string& caption, const std::string& text) override {
        inner_->showNotice(caption, text);
    }

private:
    platform::Ui* inner_ = nullptr;
    BoxLog& log_;
};

}  // namespace kv
