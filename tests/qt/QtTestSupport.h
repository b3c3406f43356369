#pragma once
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DialogEvents.h"

namespace kv::ui::test {

// Qt's file dialog lists folders on threads of its own, whose locking the
// thread sanitizer cannot see in an uninstrumented Qt; the tests that open it
// are skipped in that build (the threads that meet in our code are not).
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#else
inline constexpr bool kThreadSanitizer = false;
#endif

// Runs the UI thread's events until `done` holds or the time is up; true
// when it held. Checks before each round, so a result that needs no further
// event is seen as it is.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Calls `handle` once with every modal window that opens (boxes, file
// dialogs), from a timer on the UI thread, so it also runs inside their own
// loops. (The test program's watchdog closes any that stay open.)
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(10);
    }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        // A new window may reuse the address of the last one, so each is
        // marked when seen.
        if (!modal || modal->property("kvTestSeen").isValid()) return;
        modal->setProperty("kvTestSeen", true);
        handle_(modal);
    }

    std::function<void(QWidget*)> handle_;
    QTimer timer_;
};

// Keeps what the window forwards, with the thread it arrived on.
class RecordingEvents final : public DialogEvents {
public:
    struct Edit {
        int id;
        std::string text;
    };

    void onInit() override {
        ++inits;
        if (onInitHook) onInitHook();
    }
    void onTimer(int id) override {
        timers.push_back(id);
        if (onTimerHook) onTimerHook(id);
    }
    void onCommand(int id) override {
        commands.push_back(id);
        if (onCommandHook) onCommandHook(id);
    }
    void onEditChanged(int id, const std::string& text) override {
        edits.push_back({id, text});
        editThreads.push_back(std::this_thread::get_id());
    }
    void onOptionSelected(int index) override { options.push_back(index); }

    int inits = 0;
    std::vector<int> timers;
    std::vector<int> commands;
    std::vector<Edit> edits;
    std::vector<std::thread::id> editThreads;
    std::vector<int> options;
    std::function<void()> onInitHook;
    std::function<void(int)> onTimerHook;
    std::function<void(int)> onCommandHook;
};

}  // namespace kv::ui::test
