#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "platform/DialogItemIds.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/qt/QtDialogSession.h"

namespace kv::ui {
namespace {

using platform::Control;
using test::RecordingEvents;

enum class Kind { Button, Text, Group, Edit, List };

struct Expected {
    int id;
    Kind kind;
    const char* caption;
    int x, y, w, h;
    bool hidden;
    bool disabled;
    bool sunken;
};

// The control table of dialog 103, transcribed on its own so that a slip in
// the code's table shows up here.
const std::vector<Expected> kTable = {
    {1012, Kind::Button, "Exit", 406, 14, 34, 21, false, false, false},
    {1013, Kind::Text, "Printer not selected, Press Find  Printer", 8, 148, 263, 10, false, false,
     true},
    {1014, Kind::Text, "", 17, 186, 48, 10, false, false, true},
    {-1, Kind::Group, "Printer", 8, 171, 67, 36, false, false, false},
    {1015, Kind::Text, "", 91, 186, 47, 9, false, false, true},
    {-1, Kind::Group, "Port", 83, 171, 64, 36, false, false, false},
    {-1, Kind::Group, "Current Version", 365, 171, 118, 37, false, false, false},
    {1016, Kind::Text, "", 231, 186, 119, 10, false, false, true},
    {1017, Kind::Text, "", 376, 186, 99, 9, false, false, true},
    {1018, Kind::Button, "", 24, 48, 170, 24, false, true, false},
    {1023, Kind::Group, "", 8, 80, 263, 55, false, false, false},
    {1019, Kind::Text, "", 80, 92, 181, 9, false, false, true},
    {1024, Kind::Text, "Program Status", 14, 91, 60, 10, false, false, false},
    {1021, Kind::Text, "", 80, 112, 181, 10, false, false, true},
    {1025, Kind::Text, "Program State", 17, 113, 54, 9, false, false, false},
    {1022, Kind::Button, "Find Printer", 24, 15, 76, 21, false, false, false},
    {-1, Kind::Group, "Language", 155, 171, 60, 36, false, false, false},
    {1026, Kind::Text, "", 164, 186, 42, 9, false, false, true},
    {-1, Kind::Group, "Logic Board", 223, 171, 135, 37, false, false, false},
    {1027, Kind::Button, "", 458, 94, 13, 17, true, false, false},
    {1028, Kind::Button, "Select Firmware File", 116, 15, 76, 21, false, false, false},
    {-1, Kind::Text, "", 454, 159, 21, 10, true, false, true},
    {1029, Kind::Text, "", 458, 143, 15, 11, true, false, true},
    {1031, Kind::List, "", 462, 120, 21, 50, true, false, false},
    {1040, Kind::Group, "Ethernet", 279, 80, 177, 56, false, true, false},
    {1041, Kind::Text, "Port", 290, 116, 16, 11, false, true, false},
    {1034, Kind::Edit, "", 412, 93, 20, 12, false, true, false},
    {1035, Kind::Edit, "", 382, 93, 20, 12, false, true, false},
    {1036, Kind::Edit, "", 352, 93, 20, 12, false, true, false},
    {1037, Kind::Edit, "", 322, 93, 20, 12, false, true, false},
    {1038, Kind::Edit, "", 324, 115, 28, 12, false, true, false},
    {1042, Kind::Text, "IP address", 283, 94, 37, 9, false, true, false},
    {1039, Kind::Button, "Find Ethernet Printer", 363, 115, 83, 12, false, true, false},
    {1030, Kind::Text, "", 328, 220, 89, 10, true, false, false},
    {1043, Kind::Button, "Display Help", 390, 45, 72, 24, false, false, false},
    // Ours, above the original range.
    {1102, Kind::Text, "", 8, 137, 263, 9, false, false, false},
    {1101, Kind::Text, "", 8, 214, 475, 10, false, false, true},
    {1103, Kind::Button, "History", 208, 15, 76, 21, false, false, false},
    {1104, Kind::Button, "Network Printers...", 300, 15, 76, 21, true, false, false},
};

struct Units {
    double x, y;
};

Units unitsOf(const QFont& font) {
    const QFontMetrics fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {static_cast<double>(std::lround(fm.horizontalAdvance(letters) / 52.0)),
            static_cast<double>(fm.height())};
}

QRect expectedRect(const Expected& e, Units u) {
    auto px = [](int units, double base, double per) {
        return static_cast<int>(std::lround(units * base / per));
    };
    return {px(e.x, u.x, 4), px(e.y, u.y, 8), px(e.w, u.x, 4), px(e.h, u.y, 8)};
}

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return QStringLiteral("?");
}

bool isKind(QWidget* w, Kind kind) {
    switch (kind) {
        case Kind::Button: return qobject_cast<QPushButton*>(w) != nullptr;
        case Kind::Text: return qobject_cast<QLabel*>(w) != nullptr;
        case Kind::Group: return qobject_cast<QGroupBox*>(w) != nullptr;
        case Kind::Edit: return qobject_cast<QLineEdit*>(w) != nullptr;
        case Kind::List: return qobject_cast<QComboBox*>(w) != nullptr;
    }
    return false;
}

TEST(QtDialogWindow, BuildsEveryTemplateItemAtItsConvertedPlace) {
    QtDialogSession session;
    QtDialogWindow& window = session.window();
    const Units u = unitsOf(window.font());
    ASSERT_GT(u.x, 0);
    ASSERT_GT(u.y, 0);

    EXPECT_EQ(window.size(), QSize(static_cast<int>(std::lround(494 * u.x / 4)),
                                   static_cast<int>(std::lround(238 * u.y / 8))));
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("V4.0.2.2 09/28/2022  Corbelline Firmware Updater"));
    EXPECT_FALSE(window.windowIcon().isNull());

    ASSERT_EQ(mainDialogItems().size(), kTable.size());
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        const Expected& e = kTable[i];
        QWidget* w = window.item(i);
        SCOPED_TRACE("item " + std::to_string(i) + " id " + std::to_string(e.id));
        ASSERT_TRUE(isKind(w, e.kind));
        EXPECT_EQ(w->parentWidget(), &window);
        EXPECT_EQ(w->property("dialogItemId").toInt(), e.id);
        EXPECT_EQ(w->geometry(), expectedRect(e, u));
        EXPECT_EQ(captionOf(w), QString::fromLatin1(e.caption));
        EXPECT_EQ(w->isHidden(), e.hidden);
        EXPECT_EQ(w->isEnabled(), !e.disabled);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(
                label->frameShape() == QFrame::Panel && label->frameShadow() == QFrame::Sunken,
                e.sunken);
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
    }
}

TEST(QtDialogWindow, EveryControlFieldNamesTheItemWithItsId) {
    QtDialogSession session;
    for (std::size_t i = 0; i < platform::kControlCount; ++i) {
        const auto c = static_cast<Control>(i);
        SCOPED_TRACE(std::string(platform::controlName(c)));
        EXPECT_EQ(session.window().control(c)->property("dialogItemId").toInt(),
                  platform::controlId(c));
    }
}

TEST(QtDialogWindow, TabOrderIsTemplateOrder) {
    QtDialogSession session;
    QtDialogWindow& window = session.window();
    QWidget* first = window.item(0);
    std::vector<int> order;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->property("dialogItemId").isValid()) {
            order.push_back(w->property("dialogItemId").toInt());
        }
        w = w->nextInFocusChain();
    } while (w != first && order.size() < 100);
    EXPECT_EQ(order, (std::vector<int>{1012, 1018, 1022, 1027, 1028, 1031, 1034, 1035, 1036, 1037,
                                       1038, 1039, 1043, 1103, 1104}));
}

TEST(QtDialogWindow, OpensWithTheFocusOnTheFirstTabStop) {
    QtDialogSession session;
    session.window().focusFirstControl();
    session.window().show();
    ASSERT_TRUE(test::spinUntil([&] { return session.window().isVisible(); }));
    EXPECT_EQ(session.window().focusWidget(), session.window().item(0));
}

TEST(QtDialogWindow, ButtonClicksReachTheDialogLogic) {
    QtDialogSession session;
    RecordingEvents events;
    QtDialogWindow& window = session.window();
    window.attach(&events);
    window.show();

    QTest::mouseClick(window.control(Control::findPrinterButton), Qt::LeftButton);
    EXPECT_EQ(events.commands, std::vector<int>{1022});

    // Every button, once shown and enabled, sends its own id; a disabled
    // one sends nothing.
    events.commands.clear();
    QTest::mouseClick(window.control(Control::flashButton), Qt::LeftButton);
    EXPECT_TRUE(events.commands.empty());
    std::vector<int> expected;
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i].kind != Kind::Button) continue;
        window.item(i)->setEnabled(true);
        window.item(i)->show();
        QTest::mouseClick(window.item(i), Qt::LeftButton);
        expected.push_back(kTable[i].id);
    }
    EXPECT_EQ(events.commands, expected);
}

TEST(QtDialogWindow, EscapeAndTheCloseBoxAskForCancelAndDoNotClose) {
    QtDialogSession session;
    RecordingEvents events;
    QtDialogWindow& window = session.window();
    window.attach(&events);
    window.show();
    ASSERT_TRUE(test::spinUntil([&] { return window.isVisible(); }));

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.close());
    EXPECT_EQ(events.commands, (std::vector<int>{dialog::kCancel, dialog::kCancel}));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.finished());

    // Enter in an edit field presses nothing.
    auto* edit = window.control(Control::portEdit);
    edit->setEnabled(true);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(events.commands.size(), 2u);
    EXPECT_TRUE(window.isVisible());

    // When the logic agrees, the close box ends the dialog with its answer.
    events.onCommandHook = [&](int id) { session.host().endDialog(id); };
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(window.finishResult(), dialog::kCancel);
}

TEST(QtDialogWindow, EditsAndTheOptionListReachTheDialogLogic) {
    QtDialogSession session;
    RecordingEvents events;
    QtDialogWindow& window = session.window();
    window.attach(&events);

    // Programmatic texts count as changes too, as the system's edit does.
    session.controls().setText(Control::ipOctetEdit1, "192");
    auto* octet1 = window.control(Control::ipOctetEdit1);
    octet1->setEnabled(true);
    QTest::keyClicks(octet1, "x");
    QTest::keyClick(octet1, Qt::Key_Backspace);
    ASSERT_EQ(events.edits.size(), 3u);
    EXPECT_EQ(events.edits[0].id, 1037);
    EXPECT_EQ(events.edits[0].text, "192");
    EXPECT_EQ(events.edits[1].text, "192x");
    EXPECT_EQ(events.edits[2].text, "192");

    session.controls().setText(Control::portEdit, "10001");
    EXPECT_EQ(events.edits.back().id, 1038);

    auto* list = qobject_cast<QComboBox*>(window.control(Control::optionList));
    ASSERT_NE(list, nullptr);
    emit list->activated(1);
    EXPECT_EQ(events.options, std::vector<int>{1});
}

TEST(QtDialogWindow, ControlChangesOnTheUiThreadApplyAtOnce) {
    QtDialogSession session;
    QtDialogWindow& window = session.window();
    platform::DialogControls& controls = session.controls();

    controls.setText(Control::statusText, "Searching for printers");
    controls.enable(Control::programGroup, false);
    controls.show(Control::ethernetGroup, false);
    controls.setText(Control::ethernetGroup, "LAN");
    EXPECT_EQ(captionOf(window.control(Control::statusText)), "Searching for printers");
    EXPECT_FALSE(window.control(Control::programGroup)->isEnabled());
    EXPECT_TRUE(window.control(Control::ethernetGroup)->isHidden());
    EXPECT_EQ(captionOf(window.control(Control::ethernetGroup)), "LAN");

    // Device data is shown as it came, never as markup; its count line's
    // break does not push the text out of its one line.
    controls.setText(Control::printerModelText, "<b>ZOW</b>&amp;");
    EXPECT_EQ(captionOf(window.control(Control::printerModelText)), "<b>ZOW</b>&amp;");
    controls.setText(Control::programStateText, "40 KBytes programmed\r\n");
    EXPECT_EQ(captionOf(window.control(Control::programStateText)), "40 KBytes programmed");
}

TEST(QtDialogWindow, TheFlashButtonCaptionWrapsWhenTooLong) {
    QtDialogSession session;
    auto* flash = qobject_cast<QPushButton*>(session.window().control(Control::flashButton));
    ASSERT_NE(flash, nullptr);
    session.controls().setText(Control::flashButton, "Flash Printer NOW");
    EXPECT_EQ(flash->text(), "Flash Printer NOW");

    const std::string longCaption =
        "Flash Printer NOW and then wait for the printer to come back with its new firmware";
    session.controls().setText(Control::flashButton, longCaption);
    const QStringList lines = flash->text().split(QLatin1Char('\n'));
    EXPECT_GE(lines.size(), 2);
    EXPECT_EQ(lines.join(QLatin1Char(' ')).toStdString(), longCaption);
    for (const QString& line : lines)
        EXPECT_LT(flash->fontMetrics().horizontalAdvance(line), flash->width());
}

TEST(QtDialogWindow, TheVerdictInItsColourAndTheImageLine) {
    using platform::VerifyOutcome;
    QtDialogSession session;
    QtDialogWindow& window = session.window();
    auto* verdict = qobject_cast<QLabel*>(window.item(*itemIndexOfId(dialog::kVerifyText)));
    auto* image = qobject_cast<QLabel*>(window.item(*itemIndexOfId(dialog::kImageText)));
    ASSERT_NE(verdict, nullptr);
    ASSERT_NE(image, nullptr);
    // Under the program lines, above the status line.
    EXPECT_GE(verdict->geometry().top(),
              window.control(Control::programGroup)->geometry().bottom());
    EXPECT_LE(verdict->geometry().bottom(), window.control(Control::statusText)->geometry().top());

    const struct {
        VerifyOutcome outcome;
        QColor colour;
    } cases[] = {
        {VerifyOutcome::Verified, QColor(0, 128, 0)},
        {VerifyOutcome::Unchecked, QColor(176, 100, 0)},
        {VerifyOutcome::Mismatch, QColor(192, 0, 0)},
        {VerifyOutcome::NotFound, QColor(192, 0, 0)},
        {VerifyOutcome::Failed, QColor(192, 0, 0)},
    };
    for (const auto& c : cases) {
        session.controls().setVerification(platform::Verification{c.outcome, "detail", "The line"});
        EXPECT_EQ(verdict->text(), "The line");
        EXPECT_EQ(verdict->palette().color(QPalette::WindowText), c.colour);
    }
    session.controls().setVerification(std::nullopt);
    EXPECT_EQ(verdict->text(), "");

    platform::ImageFacts facts;
    facts.fileName = "FMVQ_V5.20.bin";
    facts.readable = true;
    facts.size = 65536;
    facts.version = "V5.20";
    facts.sha256 = std::string(64, 'c');
    session.controls().setImageFacts(facts);
    EXPECT_EQ(image->text().toStdString(),
              "FMVQ_V5.20.bin: 65536 bytes, version V5.20, SHA-256 " + std::string(64, 'c'));
    // The whole line fits the window's width.
    EXPECT_LE(image->fontMetrics().horizontalAdvance(image->text()), image->width());
    facts.version.clear();
    session.controls().setImageFacts(facts);
    EXPECT_NE(image->text().indexOf("no version marker"), -1);
    // A signed image names its key, and its trusted comment escaped.
    facts.signature.shown = facts.signature.good = true;
    facts.signature.keyId = "03C33CDB3149F848";
    facts.signature.trustedComment = "V5.20 \"QA\"\n";
    session.controls().setImageFacts(facts);
    EXPECT_TRUE(image->text().endsWith(R"(; signed by 03C33CDB3149F848: "V5.20 \"QA\"\n")"))
        << image->text().toStdString();
    session.controls().setImageFacts(std::nullopt);
    EXPECT_EQ(image->text(), "");
}

struct ProgressStep {
    platform::TransferProgress progress;
    bool visible;
    int maximum, value;
    const char* format;
};

TEST(QtDialogWindow, TheProgressBarFollowsTheWorkersNumbers) {
    using platform::TransferPhase;
    QtDialogSession session;
    QtDialogWindow& window = session.window();
    QProgressBar* bar = window.transferProgress();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());

    // Inside the program group, under the program state line.
    const QRect group = window.control(Control::programGroup)->geometry();
    const QRect state = window.control(Control::programStateText)->geometry();
    EXPECT_TRUE(group.contains(bar->geometry()));
    EXPECT_GE(bar->geometry().top(), state.bottom());
    EXPECT_EQ(bar->geometry().left(), state.left());

    const std::vector<ProgressStep> steps = {
        {{TransferPhase::StartDelay, 6, 15}, true, 15, 6, "6 of 15 seconds"},
        {{TransferPhase::Data, 40 * 1024, 100 * 1024}, true, 100, 40, "40 of 100 KBytes"},
        {{TransferPhase::ResetWait, 5, 35}, true, 35, 30, "30 seconds left"},
        {{}, false, 0, 0, ""},
        {{TransferPhase::Data, 0, 10 * 1024}, true, 10, 0, "0 of 10 KBytes"},
    };
    for (const ProgressStep& s : steps) {
        SCOPED_TRACE(s.format);
        session.controls().setProgress(s.progress);
        EXPECT_EQ(!bar->isHidden(), s.visible);
        if (!s.visible) continue;
        EXPECT_EQ(bar->maximum(), s.maximum);
        EXPECT_EQ(bar->value(), s.value);
        EXPECT_EQ(bar->format(), QString::fromLatin1(s.format));
    }
    // The texts alone move nothing, and the end of a local transfer hides
    // the Flash button and the bar with it.
    session.controls().setText(Control::programStatusText, "Waiting for reset");
    EXPECT_EQ(bar->format(), QString::fromLatin1("0 of 10 KBytes"));
    session.controls().show(Control::flashButton, false);
    EXPECT_TRUE(bar->isHidden());
}

}  // namespace
}  // namespace kv::ui
