// The History button's table over a history file with every outcome.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "tests/app/HistorySample.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/SimWorld.h"
#include "ui/qt/HistoryWindow.h"
#include "ui/qt/QtDialogSession.h"
#include "ui/template/FlashLines.h"

namespace kv::ui {
namespace {

using Texts = std::vector<std::string>;

Texts columnTexts(const QStandardItemModel& model, HistoryColumn column) {
    Texts texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts.push_back(model.item(row, static_cast<int>(column))->text().toStdString());
    }
    return texts;
}

void clickHeader(QTableView& table, HistoryColumn column) {
    QHeaderView* header = table.horizontalHeader();
    const int section = static_cast<int>(column);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(section) + 4, header->height() / 2));
}

TEST(QtHistoryWindow, EveryFlashAsARowOutcomesInTheirColoursSortedByTypedValues) {
    testing::SimWorld world;
    world.history.setContent(testing::sampleHistoryText());
    QtDialogSession session;
    wireFrontEnd(world.ctx, session.ui(), session.controls());
    MainDialog dialog(world.ctx, session.host());
    session.window().attach(&dialog);
    session.window().show();

    Texts outcomes, models, sentBefore, sentAfter, startsAfter, fleets;
    std::vector<QColor> colours;
    std::vector<bool> italic;
    std::string heading;
    bool sawTable = false;
    test::ModalWatcher watcher([&](QWidget* modal) {
        auto* history = qobject_cast<HistoryWindow*>(modal);
        if (!history) return;
        sawTable = true;
        const QStandardItemModel& model = *history->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const QStandardItem* outcome =
                model.item(row, static_cast<int>(HistoryColumn::Outcome));
            colours.push_back(outcome->foreground().color());
            italic.push_back(outcome->font().italic());
        }
        outcomes = columnTexts(model, HistoryColumn::Outcome);
        models = columnTexts(model, HistoryColumn::Model);
        fleets = columnTexts(model, HistoryColumn::Fleet);
        sentBefore = columnTexts(model, HistoryColumn::Sent);
        heading = history->findChild<QLabel*>()->text().toStdString();
        clickHeader(*history->table(), HistoryColumn::Sent);
        sentAfter = columnTexts(model, HistoryColumn::Sent);
        startsAfter = columnTexts(model, HistoryColumn::Start);
        history->accept();
    });
    QTest::mouseClick(session.window().control(platform::Control::historyButton), Qt::LeftButton);
    ASSERT_TRUE(sawTable);

    EXPECT_EQ(heading, "Flashes recorded in memory:history, newest last:");
    const auto& want = testing::sampleRows();
    ASSERT_EQ(outcomes.size(), want.size());
    for (size_t n = 0; n < want.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(outcomes[n], want[n].outcome);
        const Rgb c = toneColour(want[n].tone);
        EXPECT_EQ(colours[n], QColor(c.red, c.green, c.blue));
        EXPECT_EQ(italic[n], want[n].interrupted);
        EXPECT_EQ(fleets[n], want[n].fleet);
    }
    // Markup from a device is text, control characters spaces.
    EXPECT_EQ(models[4], testing::kHostileModelShown);
    // A count sorts as a number, not as its text ("-" for the cut-off ones).
    EXPECT_EQ(sentBefore, Texts({"65536", "100000", "9000", "70000", "16384", "-", "65536", "-"}));
    EXPECT_EQ(sentAfter, Texts({"-", "-", "9000", "16384", "65536", "65536", "70000", "100000"}));
    // Whole rows move: 9000 bytes went in the flash begun at 10:02.
    ASSERT_EQ(startsAfter.size(), sentAfter.size());
    EXPECT_EQ(startsAfter[2], "2024-05-01T10:02:00Z");
}

}  // namespace
}  // namespace kv::ui
