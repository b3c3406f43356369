#pragma once
#include <QFontMetrics>
#include <QString>
#include <string>
#include <string_view>

#include "platform/Ui.h"

namespace kv::ui {

// Control and box texts arrive as single-byte C strings: the text ends at the
// first NUL; valid UTF-8 (our own texts, file names) is read as such, any
// other byte sequence (device data) one byte per character.
QString toQt(std::string_view bytes);
// As toQt, with the line ends of the system's texts ("\r\n", a lone "\r")
// made plain line feeds for display.
QString toQtLines(std::string_view bytes);
std::string fromQt(const QString& text);

// The file dialog's one filter entry: "DESCRIPTION (PATTERN PATTERN ...)".
QString fileDialogFilter(const platform::OpenFileRequest& request);

// A multi-line push button's caption, broken between words so that every
// line fits `width` pixels where it can.
QString wrapCaption(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace kv::ui
