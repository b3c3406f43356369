#pragma once
#include "platform/Ui.h"
#include "state/BoxLog.h"

namespace kv {

// Shows everything through the front end's own Ui and notes the text of
// every box (with a Yes/No box's answer) in a log.
class BoxTap final : public platform::Ui {
public:
    BoxTap(platform::Ui& inner, BoxLog& log) : inner_(&inner), log_(log) {}

    platform::BoxAnswer messageBox(const std::optional<std::string>& caption,
                                   const std::string& text, platform::BoxButtons buttons) override;
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
    platform::Ui* inner_;
    BoxLog& log_;
};

}  // namespace kv
