// Writes the icon resources of the Windows build from the window's artwork:
//   kvflash-icon-files FOLDER   (ui/win32/resources)
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "ui/qt/AppIcons.h"
#include "ui/qt/IconFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kvflash-icon-files FOLDER\n", stderr);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int id : {kv::ui::kLargeIconId, kv::ui::kSmallIconId}) {
        const QString path =
            QString::fromLocal8Bit(argv[1]) + QStringLiteral("/kvflash-%1.ico").arg(id);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(kv::ui::icoFile(id)) < 0) {
            std::fprintf(stderr, "kvflash-icon-files: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
