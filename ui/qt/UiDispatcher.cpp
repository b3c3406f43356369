#include "ui/qt/UiDispatcher.h"

#include <QCoreApplication>
#include <QThread>
#include <thread>

namespace kv::ui {

bool UiDispatcher::onUiThread() const { return QThread::currentThread() == ui_.thread(); }

bool UiDispatcher::run(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return true;
    }
    {
        std::lock_guard lock(mutex_);
        if (!open_) return false;
        ++inFlight_;
    }
    const bool ran = QMetaObject::invokeMethod(
        &ui_, [&work] { work(); }, Qt::BlockingQueuedConnection);
    std::lock_guard lock(mutex_);
    --inFlight_;
    return ran;
}

void UiDispatcher::close() {
    std::unique_lock lock(mutex_);
    open_ = false;
    while (inFlight_ > 0) {
        // A caller between its count and its post: serve what has arrived.
        lock.unlock();
        QCoreApplication::sendPostedEvents(&ui_);
        std::this_thread::yield();
        lock.lock();
    }
}

}  // namespace kv::ui
