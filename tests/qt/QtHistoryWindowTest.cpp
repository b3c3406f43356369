// The History button's table over a history file with every outcome.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <map>
#include <string>
#include <utility>
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

Texts column(const QStandardItemModel& model, HistoryColumn c) {
    Texts texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts.push_back(model.item(row, static_cast<int>(c))->text().toStdString());
    }
    return texts;
}

TEST(QtHistoryWindow, EveryFlashAsARowOutcomesInTheirColoursSortedByTypedValues) {
    testing::SimWorld world;
    world.history.setContent(testing::sampleHistoryText());
    QtDialogSession session;
    wireFrontEnd(world.ctx, session.ui(), session.controls());
    MainDialog dialog(world.ctx, session.host());
    session.window().attach(&dialog);
    session.window().show();

    std::map<HistoryColumn, Texts> before, after;
    std::vector<std::pair<QColor, bool>> outcomes;  // colour, italic
    std::string heading;
    test::ModalWatcher watcher([&](QWidget* modal) {
        auto* history = qobject_cast<HistoryWindow*>(modal);
        if (!history) return;
        const QStandardItemModel& model = *history->model();
        for (HistoryColumn c : {HistoryColumn::Outcome, HistoryColumn::Model, HistoryColumn::Fleet,
                                HistoryColumn::Sent}) {
            before[c] = column(model, c);
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            const QStandardItem* item = model.item(row, static_cast<int>(HistoryColumn::Outcome));
            outcomes.emplace_back(item->foreground().color(), item->font().italic());
        }
        heading = history->findChild<QLabel*>()->text().toStdString();
        // A click on the Sent heading.
        QHeaderView* header = history->table()->horizontalHeader();
        const int sent = static_cast<int>(HistoryColumn::Sent);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(sent) + 4, header->height() / 2));
        after[HistoryColumn::Sent] = column(model, HistoryColumn::Sent);
        after[HistoryColumn::Start] = column(model, HistoryColumn::Start);
        history->accept();
    });
    QTest::mouseClick(session.window().control(platform::Control::historyButton), Qt::LeftButton);

    EXPECT_EQ(heading, "Flashes recorded in memory:history, newest last:");
    const auto& want = testing::sampleRows();
    ASSERT_EQ(outcomes.size(), want.size());
    for (size_t n = 0; n < want.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(before[HistoryColumn::Outcome][n], want[n].outcome);
        const Rgb c = toneColour(want[n].tone);
        EXPECT_EQ(outcomes[n], std::pair(QColor(c.red, c.green, c.blue), want[n].interrupted));
        EXPECT_EQ(before[HistoryColumn::Fleet][n], want[n].fleet);
    }
    // Markup from a device is text, control characters spaces.
    EXPECT_EQ(before[HistoryColumn::Model][4], testing::kHostileModelShown);
    // A count sorts as a number, whole rows move (9000 bytes: the 10:02 flash).
    EXPECT_EQ(before[HistoryColumn::Sent],
              Texts({"65536", "100000", "9000", "70000", "16384", "-", "65536", "-"}));
    EXPECT_EQ(after[HistoryColumn::Sent],
              Texts({"-", "-", "9000", "16384", "65536", "65536", "70000", "100000"}));
    ASSERT_EQ(after[HistoryColumn::Start].size(), want.size());
    EXPECT_EQ(after[HistoryColumn::Start][2], "2024-05-01T10:02:00Z");
}

}  // namespace
}  // namespace kv::ui
