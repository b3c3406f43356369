#pragma once
#include <QObject>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace kv::ui {

class UiDispatcher;

// Lives on the UI thread; a queued call of serve() wakes that thread up to
// run what the dispatcher holds. Called by name, so no data of the calling
// thread is read before the dispatcher's lock is taken.
class UiWaker final : public QObject {
    Q_OBJECT
public:
    explicit UiWaker(UiDispatcher& dispatcher) : dispatcher_(dispatcher) {}
    Q_INVOKABLE void serve();

private:
    UiDispatcher& dispatcher_;
};

// Runs work on the UI thread for callers on any thread. On the UI thread the
// work runs at once; from another thread it is queued to the UI thread and
// the caller waits until it has run, as a window-text message would. The UI
// thread itself never waits for another thread here.
//
// The hand-over is our own mutex and condition variable (Qt's event queue
// only wakes the UI thread), so the order of every access is plain to see,
// for readers and for the thread sanitizer.
class UiDispatcher {
public:
    // `uiObject` lives on the UI thread and outlives this dispatcher.
    explicit UiDispatcher(QObject& uiObject);
    ~UiDispatcher();
    UiDispatcher(const UiDispatcher&) = delete;
    UiDispatcher& operator=(const UiDispatcher&) = delete;

    // False when the work did not run: the window has closed and the caller
    // is on another thread. An exception from the work reaches the caller.
    bool run(const std::function<void()>& work);
    bool onUiThread() const;

    // UI thread, when the window is done: later calls from other threads are
    // dropped, and calls already waiting are served before this returns.
    void close();

private:
    friend class UiWaker;
    struct Job {
        const std::function<void()>* work;
        std::exception_ptr error;
        bool done = false;
    };
    void serve();

    QObject& ui_;
    std::unique_ptr<UiWaker> waker_;
    std::mutex mutex_;
    std::condition_variable served_;
    std::deque<Job*> queue_;
    bool open_ = true;
};

}  // namespace kv::ui
