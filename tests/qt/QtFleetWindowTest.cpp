// The network printers' window, opened from the main window's button, over
// emulated printers on loopback, each on a virtual clock of its own.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

#include "app/MainDialog.h"
#include "fleet/FleetSummary.h"
#include "tests/fleet/FleetTestWorld.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/SimWorld.h"
#include "ui/qt/HistoryWindow.h"
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
    PrinterConfig noFlashReady = printer();
    noFlashReady.flashReadyMissing = true;
    fleettest::FleetTestWorld fleet(
        {printer(), dropped, printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V5.20;"),
         printer("MFG:KV;CMD:FGL;MDL:ZOW3004F;CLS:PRINTER;FWV:V6.01<b>x</b>;"), noFlashReady,
         std::nullopt},
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
    // Held, a control shows disabled whatever it is told meanwhile, then
    // its own state again: Find Printer enabled, Flash still disabled.
    for (Control c : {Control::findPrinterButton, Control::flashButton}) {
        session.controls().hold(c, true);
        session.controls().enable(c, c == Control::findPrinterButton);
        EXPECT_FALSE(window.control(c)->isEnabled());
        session.controls().hold(c, false);
        EXPECT_EQ(window.control(c)->isEnabled(), c == Control::findPrinterButton);
    }
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
    ASSERT_EQ(table->rowCount(), 5);
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
    int historyRows = -1;
    test::ModalWatcher watcher([&](QWidget* modal) {
        if (auto* history = qobject_cast<HistoryWindow*>(modal)) {
            historyRows = history->model()->rowCount();
            history->reject();
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        question = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(fleetWindow->flashButton(), Qt::LeftButton);
    ASSERT_TRUE(test::spinUntil([&] { return !question.isEmpty(); }));
    EXPECT_TRUE(question.startsWith("Flash 3 printers with FMVQ_V5.20.bin (V5.20)? 2 are skipped:"))
        << question.toStdString();
    ASSERT_TRUE(test::spinUntil([&] { return fleetWindow->scanButton()->isEnabled(); }, 30000));

    struct Expected {
        const char* firmware;
        const char* phase;
        std::optional<platform::VerifyOutcome> verdict;
    };
    const Expected expected[] = {
        {"V5.12 -> V5.20",
         "verified: the printer reports V5.20, the image's version (before: V5.12)",
         platform::VerifyOutcome::Verified},
        {"V5.12<u>u</u> -> V5.12<u>u</u>",
         "mismatch: version unchanged: the printer still reports V5.12<u>u</u>; the image "
         "carries V5.20",
         platform::VerifyOutcome::Mismatch},
        {"V5.20", "", std::nullopt},
        {"V6.01<b>x</b>", "", std::nullopt},
        {"V5.12", "failed: Failed to entered flash programming mode",
         platform::VerifyOutcome::Failed}};
    // At the size it opens at where the screen allows (this one is small),
    // and laid out again: the view shows its cell widgets anew.
    fleetWindow->resize(fleetWindow->defaultSize());
    QApplication::processEvents();
    EXPECT_GE(table->viewport()->height(), kFleetDefaultRows * table->rowHeight(0));
    const int phaseColumn = QtFleetWindow::columnOf(FleetColumn::Phase);
    for (int row = 0; row < 5; ++row) {
        // An ended or skipped printer shows no bar, not even a busy one.
        const QProgressBar* bar = fleetWindow->progress(row);
        EXPECT_TRUE(!bar || !bar->isVisible()) << row;
        EXPECT_EQ(cell(table, row, QtFleetWindow::columnOf(FleetColumn::Firmware)).toStdString(),
                  expected[row].firmware)
            << row;
        QTableWidgetItem* phase = table->item(row, phaseColumn);
        EXPECT_EQ(phase->text().toStdString(), expected[row].phase) << row;
        if (expected[row].verdict) {
            const Rgb c = verdictColour(*expected[row].verdict);
            EXPECT_EQ(phase->foreground().color(), QColor(c.red, c.green, c.blue)) << row;
            EXPECT_EQ(shownToolTip(phase->toolTip()).toStdString(), expected[row].phase) << row;
        }
    }
    // Nothing cut: every address whole, every phase from where it starts
    // to its verdict in sight.
    for (int c = 0; c <= phaseColumn; ++c) {
        EXPECT_GE(table->columnWidth(c),
                  static_cast<QAbstractItemView*>(table)->sizeHintForColumn(c))
            << c;
    }
    EXPECT_LE(table->columnViewportPosition(phaseColumn) +
                  table->fontMetrics().horizontalAdvance(QStringLiteral("mismatch")),
              table->viewport()->width());
    // The printer that may be left in flash mode, the advice and its address.
    const std::string left = fleet.printers[4]->endpoint.text();
    EXPECT_EQ(fleetWindow->flashModeAdvice()->text().toStdString(),
              "May be left in flash mode: " + left + "\n" + fleet::kFlashModeAdvice);
    EXPECT_EQ(fleetWindow->flashModeAdvice()->textFormat(), Qt::PlainText);
    ASSERT_TRUE(fleetWindow->copyAddressesButton()->isVisible());
    QTest::mouseClick(fleetWindow->copyAddressesButton(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), left);
    // A row's history: the History table of its printer.
    fleetWindow->logic().onShowHistory(4);
    EXPECT_EQ(historyRows, 1);
    EXPECT_NE(shownToolTip(table->item(1, QtFleetWindow::columnOf(FleetColumn::Address))->toolTip())
                  .indexOf("<u>u</u>"),
              -1)
        << fleetWindow->logic().detailOf(1);
    EXPECT_TRUE(
        fleetWindow->summary()->text().startsWith("3 printers: 1 verified, 1 mismatch, 1 failed"))
        << fleetWindow->summary()->text().toStdString();
    EXPECT_EQ(fleetWindow->summary()->textFormat(), Qt::PlainText);
    EXPECT_FALSE(sim.state.flashInProgress);
    fleetWindow->close();
    EXPECT_FALSE(fleetWindow->isVisible());
}

}  // namespace
}  // namespace kv::ui
