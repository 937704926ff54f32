#pragma once

// Pictures made on the spot for the viewer tests.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>

namespace vistrel::test {

inline QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / qMax(1, width - 1), y * 255 / qMax(1, height - 1), 128);
    }
    return image;
}

inline QImage solid(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline QByteArray encode(const QImage &image, const char *format, int quality = 90,
                         bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// How an uncompressed BMP of 16 or 32 bits stores its colours (`bmp`'s `masks`).
enum BmpMasks { NoMasks = 0, UsualMasks = 1, HighByteMasks = 2, Masks565 = 3 };

// An uncompressed BMP written field by field: 1, 4 or 8 bits through a palette (its index from
// the pixel's red and green), 16 bits (five each, or 5-6-5 masks), 24 or 32 bits (32 with colour
// masks: the usual ones or red, green and blue in the high bytes), rows stored top-down or
// bottom-up, an information header of `infoSize` bytes.
inline QByteArray bmp(const QImage &image, int bits, bool topDown, int infoSize = 40,
                      int masks = NoMasks)
{
    const int width = image.width();
    const int height = image.height();
    const int stride = (width * bits + 31) / 32 * 4;
    const int maskBytes = masks && infoSize == 40 ? 12 : 0;
    const int entries = bits <= 8 ? 1 << bits : 0;
    const int offset = 14 + infoSize + maskBytes + 4 * entries;
    QByteArray out(offset + stride * height, '\0');
    auto *p = reinterpret_cast<uchar *>(out.data());
    const auto put = [p](int at, quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            p[at + i] = uchar(v >> (8 * i));
    };
    p[0] = 'B';
    p[1] = 'M';
    put(2, quint32(out.size()), 4);
    put(10, quint32(offset), 4);
    put(14, quint32(infoSize), 4);
    put(18, quint32(width), 4);
    put(22, quint32(topDown ? -height : height), 4);
    put(26, 1, 2);
    put(28, quint32(bits), 2);
    put(30, masks ? 3 : 0, 4);
    put(46, quint32(entries), 4);
    const quint32 maskSets[4][3] = {
        {0, 0, 0}, {0xFF0000, 0xFF00, 0xFF}, {0xFF000000, 0xFF0000, 0xFF00}, {0xF800, 0x7E0, 0x1F}};
    for (int i = 0; masks && i < 3; ++i)
        put(54 + 4 * i, maskSets[masks][i], 4);
    const int paletteAt = 14 + infoSize + maskBytes;
    const auto entry = [entries](int i) {
        const int v = i * 255 / (entries - 1);
        return qRgb(v, 255 - v, 128 + v / 2);
    };
    for (int i = 0; i < entries; ++i)
        put(paletteAt + 4 * i, entry(i) & 0xFFFFFF, 4);
    for (int y = 0; y < height; ++y) {
        uchar *row = p + offset + stride * (topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = image.pixel(x, y);
            if (bits <= 8) {
                const int index = (qRed(c) + qGreen(c)) * entries / 512;
                row[x * bits / 8] |= uchar(index << (8 - bits - x * bits % 8));
            } else if (bits == 16) {
                const int v = masks == Masks565
                                  ? (qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3
                                  : (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                put(int(row - p) + 2 * x, quint32(v), 2);
            } else if (masks == HighByteMasks) {
                put(int(row - p) + 4 * x, quint32(qRed(c)) << 24 | qGreen(c) << 16 | qBlue(c) << 8,
                    4);
            } else {
                uchar *pixel = row + x * bits / 8;
                pixel[0] = uchar(qBlue(c));
                pixel[1] = uchar(qGreen(c));
                pixel[2] = uchar(qRed(c));
            }
        }
    }
    return out;
}

// A JPEG whose frame header claims another size than its data holds.
inline QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 8 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            break;
        }
    }
    return jpeg;
}

// A JPEG with an EXIF segment whose orientation tag (a 16-bit value in the main directory,
// little-endian) says how to turn the stored picture upright.
inline QByteArray withOrientation(const QByteArray &jpeg, int orientation)
{
    const unsigned char tiff[] = {'I',
                                  'I',
                                  42,
                                  0,
                                  8,
                                  0,
                                  0,
                                  0,
                                  1,
                                  0,
                                  0x12,
                                  0x01,
                                  3,
                                  0,
                                  1,
                                  0,
                                  0,
                                  0,
                                  static_cast<unsigned char>(orientation),
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0};
    QByteArray segment("Exif\0\0", 6);
    segment.append(reinterpret_cast<const char *>(tiff), int(sizeof tiff));
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((segment.size() + 2) >> 8));
    app1.append(char((segment.size() + 2) & 0xFF));
    return jpeg.left(2) + app1 + segment + jpeg.mid(2);
}

// Four quadrants, one colour each, given from the top left in reading order.
inline QImage quadrants(int width, int height, const QList<QColor> &colours)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i)
        painter.fillRect((i % 2) * width / 2, (i / 2) * height / 2, width / 2, height / 2,
                         colours.value(i));
    return image;
}

// Whether two colours agree within the error of a lossy encoding.
inline bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 48 && qAbs(a.green() - b.green()) < 48 &&
           qAbs(a.blue() - b.blue()) < 48;
}

// A 1x1 red GIF.
inline QByteArray tinyGif()
{
    static const unsigned char bytes[] = {'G', 'I',  'F', '8', '9', 'a', 1, 0,   1, 0, 0x80, 0,
                                          0,   0xFF, 0,   0,   0,   0,   0, ',', 0, 0, 0,    0,
                                          1,   0,    1,   0,   0,   2,   2, 'D', 1, 0, ';'};
    return QByteArray(reinterpret_cast<const char *>(bytes), int(sizeof bytes));
}

} // namespace vistrel::test
