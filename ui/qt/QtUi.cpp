#include "ui/qt/QtUi.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

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
            answer = pressed == QMessageBox::Yes ? platform::BoxAnswer::Yes
                                                 : platform::BoxAnswer::No;
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

void QtUi::postQuit(int code) {
    dispatcher_.run([&] {
        quitCode_ = code;
        window_.finish(window_.finished() ? window_.finishResult() : 0);
    });
}

}  // namespace kv::ui
