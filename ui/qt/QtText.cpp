#include "ui/qt/QtText.h"

#include <QStringDecoder>
#include <QStringList>

namespace kv::ui {

QString toQt(std::string_view bytes) {
    if (auto nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(view);
}

QString toQtLines(std::string_view bytes) {
    QString text = toQt(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

std::string fromQt(const QString& text) { return text.toUtf8().toStdString(); }

QString fileDialogFilter(const platform::OpenFileRequest& request) {
    QString patterns = toQt(request.patterns);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return toQt(request.description) + QStringLiteral(" (") + patterns.simplified() +
           QLatin1Char(')');
}

QString wrapCaption(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(paragraph) <= width) {
            lines << paragraph;  // kept as given, blanks and all
            continue;
        }
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
                lines << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kv::ui
