#include "ui/qt/AppIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace kv::ui {

namespace {

const QColor kBody(0x40, 0x40, 0x40);
const QColor kBodyTop(0x80, 0x80, 0x80);
const QColor kTicket(0xff, 0xff, 0xff);
const QColor kInk(0x00, 0x00, 0x80);
const QColor kBolt(0xff, 0xff, 0x00);
const QColor kBoltEdge(0x80, 0x80, 0x00);
const QColor kLed(0x00, 0xff, 0x00);

// The scene is laid out on a 32-unit grid and scaled for 16 pixels.
void drawPrinter(QPainter& p, bool withTicketText) {
    // The ticket coming out of the slot.
    p.setPen(QPen(kBody, 1));
    p.setBrush(kTicket);
    p.drawRect(QRectF(8.5, 1.5, 15, 13));
    if (withTicketText) {
        p.setPen(QPen(kInk, 1));
        p.drawLine(QPointF(11, 5.5), QPointF(21, 5.5));
        p.drawLine(QPointF(11, 8.5), QPointF(18, 8.5));
    }
    // Body with its lighter top and the paper slot.
    p.setPen(Qt::NoPen);
    p.setBrush(kBody);
    p.drawRoundedRect(QRectF(2, 12, 28, 16), 2, 2);
    p.setBrush(kBodyTop);
    p.drawRect(QRectF(2, 12, 28, 4));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(7, 12, 18, 2));
    p.setBrush(kLed);
    p.drawRect(QRectF(25, 23, 3, 2));
}

void drawBolt(QPainter& p) {
    const QPolygonF bolt({{18, 14}, {10, 22}, {15, 22}, {12, 29}, {22, 19}, {17, 19}, {20, 14}});
    p.setPen(QPen(kBoltEdge, 1));
    p.setBrush(kBolt);
    p.drawPolygon(bolt);
}

QImage drawnImage(int size, bool antialiased, bool withTicketText) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, antialiased);
    p.scale(size / 32.0, size / 32.0);
    drawIconArtwork(p, withTicketText);
    p.end();
    return image;
}

}  // namespace

void drawIconArtwork(QPainter& painter, bool withTicketText) {
    drawPrinter(painter, withTicketText);
    drawBolt(painter);
}

QImage iconImage(int resourceId, int size) {
    const bool large = resourceId == kLargeIconId && (size == 32 || size == 16);
    const bool small = resourceId == kSmallIconId && size == 16;
    if (!large && !small) return {};
    // The small icon drops the ticket's print, which 16 pixels cannot carry.
    return drawnImage(size, size == 32, size == 32);
}

QImage themeIconImage(int size) {
    if (size == 16) return iconImage(kSmallIconId, 16);
    return drawnImage(size, true, size >= 32);
}

QIcon dialogIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(iconImage(kSmallIconId, 16)));
    icon.addPixmap(QPixmap::fromImage(iconImage(kLargeIconId, 32)));
    return icon;
}

}  // namespace kv::ui
