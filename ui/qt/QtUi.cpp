#include "ui/qt/QtUi.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/qt/QtText.h"

namespace kv::ui {

platform::BoxAnswer QtUi::messageBox(const std::optional<std::string>& caption,
                                     const std::string& text, platform::BoxButtons buttons) {
    const bool yesNo = buttons == platform::BoxButtons::YesNo;
    platform::BoxAnswer answer = yesNo ? platform::BoxAnswer::No : platform::BoxAnswer::Ok;
    dispatcher_.run([&] {
        QMessageBox box(QMessageBox::NoIcon, toQt(caption ? *caption : kDefaultBoxCaption),
                        toQtLines(text),
                        yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, &window_);
        box.setTextFormat(Qt::PlainText);
        // Escape or the close box on a Yes/No box answers No.
        const int pressed = box.exec();
        if (yesNo) {
            answer =
                pressed == QMessageBox::Yes ? platform::BoxAnswer::Yes : platform::BoxAnswer::No;
        }
    });
    return answer;
}

std::optional<std::string> QtUi::openFile(const platform::OpenFileRequest& request) {
    std::optional<std::string> path;
    dispatcher_.run([&] {
        QFileDialog dialog(&window_, QStringLiteral("Open"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // The list shows the description alone, as the board's filter names it.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setNameFilter(fileDialogFilter(request));
        dialog.setDefaultSuffix(toQt(request.defaultExtension));
        if (dialog.exec() != QDialog::Accepted) return;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return;
        path = QFile::encodeName(files.first()).toStdString();
    });
    return path;
}

void QtUi::showReport(const std::string& caption, const std::string& text) {
    dispatcher_.run([&] {
        QDialog dialog(&window_);
        dialog.setObjectName(QStringLiteral("report"));
        dialog.setWindowTitle(toQt(caption));
        auto* layout = new QVBoxLayout(&dialog);
        auto* view = new QPlainTextEdit(&dialog);
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        view->setPlainText(toQtLines(text));
        layout->addWidget(view);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        layout->addWidget(buttons);
        dialog.resize(window_.width(), window_.height());
        dialog.exec();
    });
}

void QtUi::postQuit(int code) {
    dispatcher_.run([&] {
        quitCode_ = code;
        window_.finish(window_.finished() ? window_.finishResult() : 0);
    });
}

}  // namespace kv::ui
