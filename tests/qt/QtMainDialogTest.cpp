// The window over the real dialog logic and a simulated printer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "app/MainDialog.h"
#include "tests/discovery/DiscoveryWorld.h"
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

}  // namespace
}  // namespace kv::ui
