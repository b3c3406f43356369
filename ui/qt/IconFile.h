#pragma once
#include <QByteArray>

namespace kv::ui {

// An icon resource as a Windows .ico file: each of its sizes in the 16
// colours of the standard palette, transparent where the artwork is. The
// Windows build's resources are these files (ui/win32/resources), written
// by kvflash-icon-files; tests/qt checks they still match the artwork.
QByteArray icoFile(int resourceId);

}  // namespace kv::ui
