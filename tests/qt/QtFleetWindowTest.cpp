// The network printers' window, opened from the main window's button, over
// emulated printers on loopback, each on a virtual clock of its own.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

#include "app/MainDialog.h"
#include "tests/fleet/FleetTestWorld.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/SimWorld.h"
#include "ui/qt/QtDialogSession.h"
#include "ui/qt/QtFleetWindow.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {
namespace {

using emulator::PrinterConfig;
using fleettest::imageBytes;
using fleettest::printer;
using platform::Control;

QString cell(QTableWidget* table, int row, int column) { return table->item(row, column)->text(); }

// What a tooltip shows, as a reader sees it.
QString shownToolTip(const QString& tip) {
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

TEST(QtFleetWindow, OpenedFromTheButtonScansFlashesAndColoursEveryRow) {
    // Markup in what a printer says stays text, in its cells and tooltip.
    PrinterConfig dropped = printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.12<u>u</u>;");
    dropped.dropAfterImageBytes = 9000;
    fleettest::FleetTestWorld fleet(
        {printer(), dropped, printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;"),
         printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V6.01<b>x</b>;"), std::nullopt},
        fleettest::kFirstAddress + 160);
    testing::SimWorld sim;
    sim.sys.wired.network = &fleet.network;
    const std::string path = fleet.dir.file("FMVQ_V5.20.bin");
    testing::writeAll(path, imageBytes(20000));
    sim.state.firmwareFileName = path;
    std::string targets;
    for (const auto& p : fleet.printers) targets += p->endpoint.text() + " ";
    ASSERT_TRUE(sim.fleetTargets.replace(targets + "\n"));

    QtDialogSession session;
    wireFrontEnd(sim.ctx, session.ui(), session.controls());
    session.host().offerFleetWindow(
        sim.ctx, [&](size_t i) -> platform::Clock& { return fleet.printers[i]->clock; });
    MainDialog dialog(sim.ctx, session.host());
    QtDialogWindow& window = session.window();
    window.attach(&dialog);
    dialog.onInit();
    window.show();
    QWidget* button = window.control(Control::networkPrintersButton);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QtFleetWindow* fleetWindow = session.host().fleetWindow();
    ASSERT_TRUE(fleetWindow);
    ASSERT_TRUE(fleetWindow->isVisible());
    EXPECT_EQ(fleetWindow->targetsEdit()->text().toStdString() + "\n", targets + "\n");
    EXPECT_NE(fleetWindow->imageLine()->text().indexOf(QStringLiteral("version V5.20")), -1)
        << fleetWindow->imageLine()->text().toStdString();

    QTest::mouseClick(fleetWindow->scanButton(), Qt::LeftButton);
    ASSERT_TRUE(test::spinUntil([&] { return fleetWindow->scanButton()->isEnabled(); }, 30000));
    QTableWidget* table = fleetWindow->table();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(fleetWindow->unreachable()->text(),
              "1 address refused, 0 silent, 0 no-reply, 0 not-kv");
    EXPECT_EQ(table->item(2, QtFleetWindow::kCheckColumn)->checkState(), Qt::Unchecked);
    EXPECT_EQ(cell(table, 2, QtFleetWindow::columnOf(FleetColumn::Image)),
              "the printer already reports V5.20");
    EXPECT_EQ(
        cell(table, 3, QtFleetWindow::columnOf(FleetColumn::Firmware)).indexOf("<b>x</b>") >= 0,
        true)
        << cell(table, 3, QtFleetWindow::columnOf(FleetColumn::Firmware)).toStdString();

    // Keyboard: Tab reaches the table and Flash Selected; Space toggles the
    // current row, Ctrl+A checks every printer the image suits again.
    fleetWindow->targetsEdit()->setFocus();
    std::set<QWidget*> reached;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    EXPECT_TRUE(reached.count(table));
    EXPECT_TRUE(reached.count(fleetWindow->flashButton()));
    table->setFocus();
    table->setCurrentCell(0, QtFleetWindow::columnOf(FleetColumn::Address));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(table->item(0, QtFleetWindow::kCheckColumn)->checkState(), Qt::Unchecked);
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(table->item(0, QtFleetWindow::kCheckColumn)->checkState(), Qt::Checked);
    EXPECT_EQ(table->item(2, QtFleetWindow::kCheckColumn)->checkState(), Qt::Unchecked);

    QString question;
    test::ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        question = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(fleetWindow->flashButton(), Qt::LeftButton);
    ASSERT_TRUE(test::spinUntil([&] { return !question.isEmpty(); }));
    EXPECT_TRUE(question.startsWith("Flash 2 printers with FMVQ_V5.20.bin (V5.20)? 2 are skipped:"))
        << question.toStdString();
    ASSERT_TRUE(test::spinUntil([&] { return fleetWindow->scanButton()->isEnabled(); }, 30000));

    struct Expected {
        const char* phase;
        std::optional<platform::VerifyOutcome> verdict;
    };
    const Expected expected[] = {{"verified", platform::VerifyOutcome::Verified},
                                 {"mismatch", platform::VerifyOutcome::Mismatch},
                                 {"", std::nullopt},
                                 {"", std::nullopt}};
    // Laid out again (a resize), the view shows its cell widgets anew.
    table->resizeColumnsToContents();
    fleetWindow->resize(fleetWindow->width() + 40, fleetWindow->height() + 40);
    QApplication::processEvents();
    for (int row = 0; row < 4; ++row) {
        // An ended or skipped printer shows no bar, not even a busy one.
        const QProgressBar* bar = fleetWindow->progress(row);
        EXPECT_TRUE(!bar || !bar->isVisible()) << row;
        QTableWidgetItem* phase = table->item(row, QtFleetWindow::columnOf(FleetColumn::Phase));
        EXPECT_EQ(phase->text().toStdString(), expected[row].phase) << row;
        if (expected[row].verdict) {
            const Rgb c = verdictColour(*expected[row].verdict);
            EXPECT_EQ(phase->foreground().color(), QColor(c.red, c.green, c.blue)) << row;
            EXPECT_EQ(shownToolTip(phase->toolTip()).toStdString(),
                      fleetWindow->logic().detailOf(static_cast<size_t>(row)))
                << row;
        }
    }
    EXPECT_NE(shownToolTip(table->item(1, QtFleetWindow::columnOf(FleetColumn::Address))->toolTip())
                  .indexOf("<u>u</u>"),
              -1)
        << fleetWindow->logic().detailOf(1);
    EXPECT_TRUE(fleetWindow->summary()->text().startsWith("2 printers: 1 verified, 1 mismatch"))
        << fleetWindow->summary()->text().toStdString();
    EXPECT_EQ(fleetWindow->summary()->textFormat(), Qt::PlainText);
    EXPECT_FALSE(sim.state.flashInProgress);
    fleetWindow->close();
    EXPECT_FALSE(fleetWindow->isVisible());
}

}  // namespace
}  // namespace kv::ui
