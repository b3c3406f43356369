#include "ui/qt/QtDialogHost.h"

#include <QTimer>
#include <algorithm>
#include <limits>

#include "ui/qt/HistoryWindow.h"
#include "ui/qt/QtFleetWindow.h"
#include "ui/qt/QtText.h"

namespace kv::ui {

std::string QtDialogHost::title() {
    std::string result;
    dispatcher_.run([&] { result = fromQt(window_.windowTitle()); });
    return result;
}

void QtDialogHost::setTitle(const std::string& title) {
    dispatcher_.run([&] { window_.setWindowTitle(toQt(title)); });
}

void QtDialogHost::startTimer(int id, unsigned intervalMs) {
    dispatcher_.run([&] {
        QTimer*& timer = timers_[id];
        if (!timer) {
            timer = new QTimer(&window_);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, &window_,
                             [this, id] { window_.forwardTimer(id); });
        }
        const unsigned limit = static_cast<unsigned>(std::numeric_limits<int>::max());
        timer->start(static_cast<int>(intervalMs < limit ? intervalMs : limit));
    });
}

void QtDialogHost::stopTimer(int id) {
    dispatcher_.run([&] {
        if (auto it = timers_.find(id); it != timers_.end()) it->second->stop();
    });
}

bool QtDialogHost::timerActive(int id) {
    bool active = false;
    dispatcher_.run([&] {
        auto it = timers_.find(id);
        active = it != timers_.end() && it->second->isActive();
    });
    return active;
}

void QtDialogHost::offerFleetWindow(Context& ctx,
                                    std::function<platform::Clock&(size_t)> clockFor) {
    fleetContext_ = &ctx;
    fleetClockFor_ = std::move(clockFor);
}

void QtDialogHost::openFleetWindow() {
    if (!fleetContext_) return;
    dispatcher_.run([&] {
        if (!fleetWindow_)
            fleetWindow_ = new QtFleetWindow(*fleetContext_, fleetClockFor_, &window_);
        fleetWindow_->present();
    });
}

bool QtDialogHost::fleetWindowOpen() {
    bool open = false;
    dispatcher_.run([&] { open = fleetWindow_ && fleetWindow_->isVisible(); });
    return open;
}

void QtDialogHost::endDialog(int result) {
    dispatcher_.run([&] {
        for (auto& [id, timer] : timers_) timer->stop();
        window_.finish(result);
    });
}

void QtDialogHost::showHistory(const HistoryView& view) {
    dispatcher_.run([&] {
        HistoryWindow history(view, &window_);
        history.resize(std::max(window_.width(), 960), window_.height());
        history.exec();
    });
}

}  // namespace kv::ui
