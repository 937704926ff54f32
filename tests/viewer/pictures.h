#pragma once

// Pictures made on the spot for the viewer tests.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
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

inline QByteArray encode(const QImage &image, const char *format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
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

// A 1x1 red GIF.
inline QByteArray tinyGif()
{
    static const unsigned char bytes[] = {'G', 'I',  'F', '8', '9', 'a', 1, 0,   1, 0, 0x80, 0,
                                          0,   0xFF, 0,   0,   0,   0,   0, ',', 0, 0, 0,    0,
                                          1,   0,    1,   0,   0,   2,   2, 'D', 1, 0, ';'};
    return QByteArray(reinterpret_cast<const char *>(bytes), int(sizeof bytes));
}

} // namespace vistrel::test
