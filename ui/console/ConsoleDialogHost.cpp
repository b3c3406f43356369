#include "ui/console/ConsoleDialogHost.h"

#include "ui/console/ConsoleText.h"

namespace kv::ui {

ConsoleDialogHost::ConsoleDialogHost(std::FILE* out, std::string title)
    : out_(out), title_(std::move(title)) {}

std::string ConsoleDialogHost::title() {
    std::lock_guard lock(mutex_);
    return title_;
}

void ConsoleDialogHost::setTitle(const std::string& title) {
    std::lock_guard lock(mutex_);
    title_ = title;
    writeEventLine(out_, "title " + quotedConsoleText(title));
}

void ConsoleDialogHost::startTimer(int id, unsigned intervalMs) {
    std::lock_guard lock(mutex_);
    timer_ = Timer{id, intervalMs};
}

void ConsoleDialogHost::stopTimer(int id) {
    std::lock_guard lock(mutex_);
    if (timer_ && timer_->id == id) timer_.reset();
}

void ConsoleDialogHost::endDialog(int) {
    std::lock_guard lock(mutex_);
    ended_ = true;
}

std::optional<ConsoleDialogHost::Timer> ConsoleDialogHost::pendingTimer() const {
    std::lock_guard lock(mutex_);
    return timer_;
}

bool ConsoleDialogHost::ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

}  // namespace kv::ui
