#include "ui/qt/IconFile.h"

#include <QImage>
#include <QtEndian>
#include <array>
#include <vector>

#include "ui/qt/AppIcons.h"

namespace kv::ui {

namespace {

// The standard 16-colour palette, in its usual order.
constexpr std::array<QRgb, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xc0c0c0,
    0x808080, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};

// The nearest palette entry; of two as near, the later one (the artwork's
// dark grey sits halfway between black and grey and stays a grey).
int nearest(QRgb colour) {
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
        const int dr = qRed(colour) - qRed(kPalette[i]);
        const int dg = qGreen(colour) - qGreen(kPalette[i]);
        const int db = qBlue(colour) - qBlue(kPalette[i]);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance <= bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void put16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// One image: BITMAPINFOHEADER, palette, 4-bit colour rows and the 1-bit
// transparency mask, both bottom-up with rows padded to 4 bytes.
QByteArray iconImageBytes(const QImage& artwork) {
    const QImage image = artwork.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int colourRow = ((size * 4 + 31) / 32) * 4;
    const int maskRow = ((size + 31) / 32) * 4;
    QByteArray out;
    put32(out, 40);
    put32(out, static_cast<quint32>(size));
    put32(out, static_cast<quint32>(size * 2));  // colour and mask
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);  // no compression
    put32(out, static_cast<quint32>((colourRow + maskRow) * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    for (QRgb c : kPalette) {
        out.append(static_cast<char>(qBlue(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qRed(c)));
        out.append('\0');
    }
    QByteArray colours(colourRow * size, '\0');
    QByteArray mask(maskRow * size, '\0');
    for (int y = 0; y < size; ++y) {
        const int row = size - 1 - y;
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) < 128) {
                mask[row * maskRow + x / 8] =
                    static_cast<char>(mask[row * maskRow + x / 8] | (0x80 >> (x % 8)));
                continue;
            }
            const int index = nearest(pixel);
            char& cell = colours[row * colourRow + x / 2];
            cell = static_cast<char>(cell | (x % 2 == 0 ? index << 4 : index));
        }
    }
    return out + colours + mask;
}

}  // namespace

QByteArray icoFile(int resourceId) {
    std::vector<int> sizes;
    for (int size : {32, 16}) {
        if (!iconImage(resourceId, size).isNull()) sizes.push_back(size);
    }
    std::vector<QByteArray> images;
    for (int size : sizes) images.push_back(iconImageBytes(iconImage(resourceId, size)));

    QByteArray out;
    put16(out, 0);
    put16(out, 1);  // icon
    put16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.append(static_cast<char>(sizes[i]));
        out.append(static_cast<char>(sizes[i]));
        out.append(static_cast<char>(16));  // colours
        out.append('\0');
        put16(out, 1);  // planes
        put16(out, 4);  // bits per pixel
        put32(out, static_cast<quint32>(images[i].size()));
        put32(out, offset);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images) out += image;
    return out;
}

}  // namespace kv::ui
