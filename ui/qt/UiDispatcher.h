#pragma once
#include <QObject>
#include <functional>
#include <mutex>

namespace kv::ui {

// Runs work on the UI thread for callers on any thread. On the UI thread the
// work runs at once; from another thread it is queued to the UI thread and
// the caller waits until it has run, as a window-text message would. The UI
// thread itself never waits for another thread here.
class UiDispatcher {
public:
    // `uiObject` lives on the UI thread and outlives this dispatcher.
    explicit UiDispatcher(QObject& uiObject) : ui_(uiObject) {}
    UiDispatcher(const UiDispatcher&) = delete;
    UiDispatcher& operator=(const UiDispatcher&) = delete;

    // False when the work did not run: the window has closed and the caller
    // is on another thread.
    bool run(const std::function<void()>& work);
    bool onUiThread() const;

    // UI thread, when the window is done: later calls from other threads are
    // dropped, and calls already on their way are served before this returns.
    void close();

private:
    QObject& ui_;
    std::mutex mutex_;
    bool open_ = true;
    int inFlight_ = 0;
};

}  // namespace kv::ui
