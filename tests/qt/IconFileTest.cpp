#include <gtest/gtest.h>

#include <QFile>

#include "ui/qt/AppIcons.h"
#include "ui/qt/IconFile.h"

namespace kv::ui {
namespace {

// The Windows build's icons are files made from this artwork once
// (kvflash-icon-files); when the artwork changes they must be made again.
TEST(IconFile, WindowsIconsMatchTheArtwork) {
    for (int id : {kLargeIconId, kSmallIconId}) {
        QFile file(QStringLiteral(KVFLASH_SOURCE_DIR "/ui/win32/resources/kvflash-%1.ico").arg(id));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << id;
        EXPECT_TRUE(file.readAll() == icoFile(id))
            << id << ": run kvflash-icon-files ui/win32/resources";
    }
}

}  // namespace
}  // namespace kv::ui
