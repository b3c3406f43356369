#include "ui/qt/UiDispatcher.h"

#include <QThread>

namespace kv::ui {

void UiWaker::serve() { dispatcher_.serve(); }

UiDispatcher::UiDispatcher(QObject& uiObject)
    : ui_(uiObject), waker_(std::make_unique<UiWaker>(*this)) {
    waker_->moveToThread(ui_.thread());
}

UiDispatcher::~UiDispatcher() = default;

bool UiDispatcher::onUiThread() const { return QThread::currentThread() == ui_.thread(); }

bool UiDispatcher::run(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return true;
    }
    Job job{&work, nullptr};
    std::unique_lock lock(mutex_);
    if (!open_) return false;
    queue_.push_back(&job);
    // Only a wake-up call: whichever serve() runs first takes the job. It is
    // posted under the lock, so the UI thread, which takes the lock before
    // it looks at the queue, is ordered after everything done here.
    QMetaObject::invokeMethod(waker_.get(), "serve", Qt::QueuedConnection);
    served_.wait(lock, [&] { return job.done; });
    if (job.error) std::rethrow_exception(job.error);
    return true;
}

void UiDispatcher::serve() {
    for (;;) {
        Job* job = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            job = queue_.front();
            queue_.pop_front();
        }
        try {
            (*job->work)();
        } catch (...) {
            job->error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        served_.notify_all();
    }
}

void UiDispatcher::close() {
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    serve();
}

}  // namespace kv::ui
