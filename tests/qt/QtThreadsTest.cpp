#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "app/MainDialog.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/qt/QtDialogSession.h"

namespace kv::ui {
namespace {

using platform::BoxAnswer;
using platform::BoxButtons;
using platform::Control;
using test::ModalWatcher;
using test::RecordingEvents;
using test::spinUntil;

QString labelText(QtDialogWindow& window, Control c) {
    return qobject_cast<QLabel*>(window.control(c))->text();
}

TEST(QtThreads, AWorkersControlChangesLandOnTheUiThreadBeforeItGoesOn) {
    QtDialogSession session;
    RecordingEvents events;
    session.window().attach(&events);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        session.controls().setText(Control::programStatusText, "Programming 4 KBytes");
        session.controls().setProgress({platform::TransferPhase::Data, 0, 4096});
        session.controls().setText(Control::ipOctetEdit1, "7");
        session.controls().enable(Control::programGroup, false);
        done = true;
    });
    // The worker waits for each change to be applied, so by the time it says
    // it is done, every change is visible without another event round.
    const bool finished = spinUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(labelText(session.window(), Control::programStatusText), "Programming 4 KBytes");
    EXPECT_FALSE(session.window().control(Control::programGroup)->isEnabled());
    EXPECT_FALSE(session.window().transferProgress()->isHidden());
    ASSERT_EQ(events.edits.size(), 1u);
    EXPECT_EQ(events.edits[0].text, "7");
    EXPECT_EQ(events.editThreads[0], std::this_thread::get_id());
}

TEST(QtThreads, AWorkersBoxIsShownByTheUiThreadAndAnswered) {
    QtDialogSession session;
    QString title, text;
    int boxes = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        ++boxes;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    std::atomic<bool> done{false};
    BoxAnswer answer = BoxAnswer::Ok;
    std::thread worker([&] {
        answer = session.ui().messageBox(std::string("Firmware update"),
                                         "New version same as old version, continue?",
                                         BoxButtons::YesNo);
        done = true;
    });
    const bool finished = spinUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(answer, BoxAnswer::Yes);
    EXPECT_EQ(title, "Firmware update");
    EXPECT_EQ(text, "New version same as old version, continue?");
}

TEST(QtThreads, TheTimerFiresOncePerStartAndStopsWhenAsked) {
    QtDialogSession session;
    RecordingEvents events;
    session.window().attach(&events);
    DialogHost& host = session.host();

    host.startTimer(dialog::kAutoLoadTimer, 20);
    host.startTimer(7, 150);  // a later marker: timer 1 had its chance by then
    ASSERT_TRUE(spinUntil([&] { return events.timers.size() >= 2; }));
    EXPECT_EQ(events.timers, (std::vector<int>{1, 7}));

    events.timers.clear();
    host.startTimer(dialog::kAutoLoadTimer, 20);
    host.stopTimer(dialog::kAutoLoadTimer);
    host.startTimer(7, 100);
    ASSERT_TRUE(spinUntil([&] { return !events.timers.empty(); }));
    EXPECT_EQ(events.timers, std::vector<int>{7});
    EXPECT_FALSE(session.host().timerActive(dialog::kAutoLoadTimer));
}

TEST(QtThreads, RunInitialisesShowsAndReturnsTheQuitCode) {
    QtDialogSession session;
    RecordingEvents events;
    bool visibleAtInit = true;
    events.onInitHook = [&] {
        visibleAtInit = session.window().isVisible();
        session.host().setTitle(session.host().title() + "Auto Load (fw.bin) ");
        session.host().startTimer(dialog::kAutoLoadTimer, 10);
    };
    // The dialog's Exit: end with the command, then the quit request.
    events.onTimerHook = [&](int) {
        session.host().endDialog(dialog::kExit);
        session.ui().postQuit(0);
    };
    EXPECT_EQ(session.run(events), 0);
    EXPECT_EQ(events.inits, 1);
    EXPECT_FALSE(visibleAtInit);
    EXPECT_TRUE(session.window().finished());
    EXPECT_EQ(session.window().finishResult(), dialog::kExit);
    EXPECT_EQ(session.window().windowTitle(),
              "V4.0.2.2 09/28/2022  Corbelline Firmware UpdaterAuto Load (fw.bin) ");

    // After the end, a late worker's calls are dropped instead of waiting
    // for a window that will not answer.
    std::atomic<bool> done{false};
    std::thread late([&] {
        session.controls().setText(Control::statusText, "late");
        done = true;
    });
    late.join();
    EXPECT_TRUE(done);
    EXPECT_NE(labelText(session.window(), Control::statusText), "late");
}

TEST(QtThreads, AQuitRequestFromAWorkerEndsTheOpenDialog) {
    QtDialogSession session;
    RecordingEvents events;
    std::thread worker;
    events.onInitHook = [&] { worker = std::thread([&] { session.ui().postQuit(5); }); };
    EXPECT_EQ(session.run(events), 5);
    worker.join();
    EXPECT_TRUE(session.window().finished());
    EXPECT_FALSE(session.window().isVisible());
}

}  // namespace
}  // namespace kv::ui
