#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "tests/qt/QtTestSupport.h"
#include "ui/qt/QtDialogSession.h"
#include "ui/qt/QtText.h"

namespace kv::ui {
namespace {

using platform::BoxAnswer;
using platform::BoxButtons;
using test::ModalWatcher;

struct SeenBox {
    QString title;
    QString text;
    std::set<int> buttons;
};

SeenBox seen(QMessageBox* box) {
    SeenBox s{box->windowTitle(), box->text(), {}};
    for (QAbstractButton* b : box->buttons()) s.buttons.insert(box->standardButton(b));
    return s;
}

TEST(QtUi, BoxesCarryTheirCaptionOrTheDefaultAndTheirButtons) {
    QtDialogSession session;
    std::vector<SeenBox> boxes;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        boxes.push_back(seen(box));
        // Escape: the only button of an OK box, No of a Yes/No box.
        QTest::keyClick(box, Qt::Key_Escape);
    });
    platform::Ui& ui = session.ui();

    EXPECT_EQ(ui.messageBox(std::nullopt, "Not Ready", BoxButtons::Ok), BoxAnswer::Ok);
    EXPECT_EQ(ui.messageBox(std::string("Error"), "KV printer not selected", BoxButtons::Ok),
              BoxAnswer::Ok);
    EXPECT_EQ(
        ui.messageBox(std::nullopt, "Another KV tool is currently running\rPlease try again later",
                      BoxButtons::YesNo),
        BoxAnswer::No);
    EXPECT_EQ(ui.messageBox(std::string(""), "1 - Click\r\n\n2 - <b>Select</b>", BoxButtons::Ok),
              BoxAnswer::Ok);

    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].title, QString::fromLatin1(kDefaultBoxCaption));
    EXPECT_EQ(boxes[0].text, "Not Ready");
    EXPECT_EQ(boxes[0].buttons, std::set<int>{QMessageBox::Ok});
    EXPECT_EQ(boxes[1].title, "Error");
    EXPECT_EQ(boxes[1].text, "KV printer not selected");
    // A lone carriage return breaks the line, as the system's box does.
    EXPECT_EQ(boxes[2].text, "Another KV tool is currently running\nPlease try again later");
    EXPECT_EQ(boxes[2].buttons, (std::set<int>{QMessageBox::Yes, QMessageBox::No}));
    // An empty caption is a caption; the empty line stays; no markup.
    EXPECT_EQ(boxes[3].title, "");
    EXPECT_EQ(boxes[3].text, "1 - Click\n\n2 - <b>Select</b>");
}

TEST(QtUi, AReportKeepsItsColumnsInAFixedWidthFont) {
    QtDialogSession session;
    QString title, text;
    bool fixed = false, wraps = true, readOnly = false;
    ModalWatcher watcher([&](QWidget* modal) {
        title = modal->windowTitle();
        if (auto* view = modal->findChild<QPlainTextEdit*>()) {
            text = view->toPlainText();
            fixed = QFontInfo(view->font()).fixedPitch();
            wraps = view->lineWrapMode() != QPlainTextEdit::NoWrap;
            readOnly = view->isReadOnly();
        }
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    session.ui().showReport("Flash history", "START  LINK\n2024   USB\n");
    EXPECT_EQ(title, "Flash history");
    EXPECT_EQ(text, "START  LINK\n2024   USB\n");
    EXPECT_TRUE(fixed);
    EXPECT_FALSE(wraps);
    EXPECT_TRUE(readOnly);
}

// The names a file dialog lists in its current folder.
std::set<QString> listedNames(QFileDialog* dialog) {
    std::set<QString> names;
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (!view || !view->model()) return names;
    QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        names.insert(model->index(row, 0, root).data().toString());
    }
    return names;
}

TEST(QtUi, TheFileDialogOffersTheBoardsFilterIgnoringCase) {
    if (test::kThreadSanitizer) GTEST_SKIP() << "Qt's file dialog threads are opaque to TSan";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* name : {"fw.bin", "FW2.BIN", "Fw3.Bin", "notes.txt", "fw.bin.old"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QtDialogSession session;
    QStringList filters;
    QString suffix;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool nonNative = false;
    QString shownFilter;
    std::set<QString> listed;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) return;
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        mode = dialog->fileMode();
        nonNative = dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            shownFilter = types->currentText();
        }
        dialog->setDirectory(folder.path());
        // The listing fills in the background; wait for it inside the
        // dialog's own loop.
        test::spinUntil([&] { return listedNames(dialog).size() >= 3; });
        listed = listedNames(dialog);
        // As typed into the name field (which has the focus, so selectFile
        // would leave it alone).
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(QStringLiteral("FW2.BIN"));
        }
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });

    platform::OpenFileRequest request{"Bin Files (*.bin)", "*.bin", "bin", true};
    const auto path = session.ui().openFile(request);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, folder.filePath(QStringLiteral("FW2.BIN")).toStdString());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Bin Files (*.bin) (*.bin)")});
    // The list of types shows the board's description alone.
    EXPECT_EQ(shownFilter, "Bin Files (*.bin)");
    EXPECT_EQ(suffix, "bin");
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_TRUE(nonNative);
    EXPECT_EQ(listed, (std::set<QString>{"fw.bin", "FW2.BIN", "Fw3.Bin"}));
}

TEST(QtUi, ACancelledFileDialogGivesNothing) {
    if (test::kThreadSanitizer) GTEST_SKIP() << "Qt's file dialog threads are opaque to TSan";
    QtDialogSession session;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) dialog->reject();
    });
    platform::OpenFileRequest request{"ZOR12G Firmware", "471KDSR6_2DS_V*.BIN", "bin", true};
    EXPECT_FALSE(session.ui().openFile(request).has_value());
}

TEST(QtText, FiltersJoinThePatternsWithBlanks) {
    EXPECT_EQ(fileDialogFilter({"ZOR12G Firmware",
                                "471KDSR6_2DA_V*.BIN;471KDSR6_2DM_V*.BIN;471KDSR6_2*-42.BIN", "bin",
                                true}),
              "ZOR12G Firmware (471KDSR6_2DA_V*.BIN 471KDSR6_2DM_V*.BIN 471KDSR6_2*-42.BIN)");
    EXPECT_EQ(fileDialogFilter({"Bin Files (*.bin)", "*.bin", "bin", true}),
              "Bin Files (*.bin) (*.bin)");
}

TEST(QtText, BytesBecomeTextAsTheyWereMeant) {
    struct Case {
        std::string bytes;
        QString text;
    };
    const std::vector<Case> cases = {
        {"V5.12", "V5.12"},
        {std::string("MDL\0junk", 8), "MDL"},               // a C string ends at its NUL
        {"caf\xc3\xa9", QString::fromUtf8("caf\xc3\xa9")},  // UTF-8 file name
        {"caf\xe9", QString::fromLatin1("caf\xe9")},        // a device's single byte
        {"\xff\xfe", QString::fromLatin1("\xff\xfe")},
    };
    for (const Case& c : cases) EXPECT_EQ(toQt(c.bytes), c.text);
    EXPECT_EQ(toQtLines("a\r\nb\rc\nd\r\n"), "a\nb\nc\nd\n");
    EXPECT_EQ(fromQt(toQt("caf\xc3\xa9")), "caf\xc3\xa9");
}

}  // namespace
}  // namespace kv::ui
