// Writes the application's icon for the hicolor icon theme from the window's
// artwork, as the package installs it:
//   kvflash-theme-icons FOLDER NAME
// gives FOLDER/<N>x<N>/apps/NAME.png for each size, and
// FOLDER/scalable/apps/NAME.svg where Qt's SVG module is there.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#ifdef KVFLASH_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

#include "ui/qt/AppIcons.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool fail(const QString& path) {
    std::fprintf(stderr, "kvflash-theme-icons: cannot write %s\n", qPrintable(path));
    return false;
}

bool writePng(const QString& folder, const QString& name, int size) {
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    const QString path = dir + QStringLiteral("/") + name + QStringLiteral(".png");
    if (!QDir().mkpath(dir) || !kv::ui::themeIconImage(size).save(path, "PNG")) return fail(path);
    return true;
}

#ifdef KVFLASH_HAVE_QT_SVG
bool writeSvg(const QString& folder, const QString& name) {
    const QString dir = folder + QStringLiteral("/scalable/apps");
    const QString path = dir + QStringLiteral("/") + name + QStringLiteral(".svg");
    if (!QDir().mkpath(dir)) return fail(path);
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle(name);
    QPainter painter;
    if (!painter.begin(&svg)) return fail(path);
    painter.setRenderHint(QPainter::Antialiasing, true);
    kv::ui::drawIconArtwork(painter, true);
    return painter.end() || fail(path);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kvflash-theme-icons FOLDER NAME\n", stderr);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : kSizes) {
        if (!writePng(folder, name, size)) return 1;
    }
#ifdef KVFLASH_HAVE_QT_SVG
    if (!writeSvg(folder, name)) return 1;
#endif
    return 0;
}
