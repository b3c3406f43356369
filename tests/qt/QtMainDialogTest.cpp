// The window over the real dialog logic and a simulated printer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/MainDialog.h"
#include "app/QueueCommands.h"
#include "platform/DialogItemIds.h"
#include "platform/sim/ManualTermination.h"
#include "tests/discovery/DiscoveryWorld.h"
#include "tests/flash/LocalFlashWorld.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/qt/QtDialogSession.h"

namespace kv::ui {
namespace {

using platform::Control;

QString labelText(QtDialogWindow& window, Control control) {
    return qobject_cast<QLabel*>(window.control(control))->text();
}

TEST(QtMainDialog, FindPrinterFillsTheWindowFromTheFoundPrinter) {
    testing::DiscoveryWorld world;
    world.plugUsb(world.model(emulator::LinkKind::Usb));
    QtDialogSession session;
    wireFrontEnd(world.ctx, session.ui(), session.controls());
    MainDialog dialog(world.ctx, session.host());
    QtDialogWindow& window = session.window();
    window.attach(&dialog);
    dialog.onInit();
    window.show();

    QTest::mouseClick(window.control(Control::findPrinterButton), Qt::LeftButton);

    EXPECT_EQ(world.state.printerCount, 1);
    EXPECT_EQ(labelText(window, Control::statusText), "Found Printer - Printer ready..");
    EXPECT_EQ(labelText(window, Control::printerModelText), "ZOW3004F");
    EXPECT_EQ(labelText(window, Control::portText), "USB");
    EXPECT_EQ(labelText(window, Control::languageText), "FGL-G");
    EXPECT_EQ(labelText(window, Control::logicBoardText), "MVQ Plus");
    EXPECT_EQ(labelText(window, Control::currentVersionText), "V5.12");
    EXPECT_TRUE(window.control(Control::findPrinterButton)->isEnabled());
    EXPECT_TRUE(window.control(Control::programStatusText)->isEnabled());
    EXPECT_FALSE(window.control(Control::flashButton)->isVisible());
    EXPECT_FALSE(window.control(Control::ethernetGroup)->isVisible());
    EXPECT_TRUE(world.queuesBack());
}

// SIGTERM while the window's printer is in flash mode: the first waits for
// the flash's verdict and record, traced and without a box; a second ends
// the program at once. The requests come in the start delay, from a thread
// of their own as the watcher's, while the worker waits for them.
TEST(QtMainDialog, AFirstSignalInFlashModeWaitsForTheVerdict) {
    for (const int requests : {1, 2}) {
        SCOPED_TRACE(requests);
        testing::LocalFlashWorld world;
        emulator::PrinterConfig config;
        config.link = emulator::LinkKind::Usb;
        config.deviceId = testing::kZowId;
        world.attach(config);
        world.image(testing::imageBytes(20000, "V5.20"), "FMVQ_V5.20.bin");
        QtDialogSession session;
        testing::HookedControls hooked(session.controls(), world.clock);
        wireFrontEnd(world.ctx, session.ui(), hooked);
        MainDialog dialog(world.ctx, session.host());
        QtDialogWindow& window = session.window();
        window.attach(&dialog);
        // Not shown: painting would start Qt's own image threads, whose
        // locking the thread sanitizer cannot see.
        dialog.onInit();
        int boxes = 0;
        test::ModalWatcher watcher([&](QWidget* modal) {
            ++boxes;
            QMetaObject::invokeMethod(modal, "accept", Qt::DirectConnection);
        });

        std::mutex mutex;
        std::vector<int> codes;
        std::optional<size_t> endedAtOnce;
        bool recordEnded = false;
        platform::sim::ManualTermination termination;
        restoreQueuesOnTermination(world.ctx, termination, [&](int code) {
            std::lock_guard lock(mutex);
            if (codes.empty())
                recordEnded = world.history.content().find("\"ended\"") != std::string::npos;
            codes.push_back(code);
        });
        const platform::StopWatchingAtEnd stopWatching(termination);
        hooked.setHook([&, once = true](auto, Control control, const std::string& text) mutable {
            if (!once || control != Control::programStatusText || !text.starts_with("Delaying"))
                return;
            once = false;
            std::thread watcherThread([&] {
                for (int i = 0; i < requests; ++i) termination.deliver(SIGTERM);
            });
            watcherThread.join();
            std::lock_guard lock(mutex);
            endedAtOnce = codes.size();
        });

        dialog.onCommand(dialog::kFindPrinter);
        dialog.onCommand(dialog::kFlash);
        ASSERT_TRUE(test::spinUntil([&] { return !world.state.flashInProgress; }, 20000));
        std::lock_guard lock(mutex);
        EXPECT_EQ(endedAtOnce, requests - 1);
        EXPECT_EQ(codes, std::vector<int>{128 + SIGTERM});
        EXPECT_EQ(recordEnded, requests == 1) << world.history.content();
        EXPECT_EQ(boxes, 0);
        EXPECT_TRUE(world.trace.contains(
            "Signal 15 - the printer is in flash mode: ending once its flash has ended\r\n"));
    }
}

}  // namespace
}  // namespace kv::ui
