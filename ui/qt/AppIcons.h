#pragma once
#include <QIcon>
#include <QImage>
class QPainter;

namespace kv::ui {

// Icon resources of the main dialog: 107 the large icon (32 and 16 pixels),
// 108 the small one (16 pixels). Drawn at start, in a small fixed palette.
inline constexpr int kLargeIconId = 107;
inline constexpr int kSmallIconId = 108;

// The artwork of one icon resource at one size (32 or 16); a null image for
// an id or size that does not exist.
QImage iconImage(int resourceId, int size);
// The window's icon: 108 for the small size, 107 for the large ones.
QIcon dialogIcon();

// The artwork on a 32-unit grid; scale the painter for other sizes. The
// ticket's print is for 32 units and more.
void drawIconArtwork(QPainter& painter, bool withTicketText);
// The application's icon for a desktop's icon theme at `size` pixels: the
// small icon's artwork at 16, the large icon's from 32 on, and the large
// icon without the print between.
QImage themeIconImage(int size);

}  // namespace kv::ui
