#include "app/toolbaricons.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>

namespace vistrel::toolbaricons {

bool isDark(const QColor &bar)
{
    return bar.lightnessF() < 0.5;
}

QByteArray darkVariant(const QByteArray &svg)
{
    static const QRegularExpression colour(
        QStringLiteral("#([0-9a-fA-F]{6}|[0-9a-fA-F]{3})(?![0-9a-fA-F])"));
    const QString text = QString::fromUtf8(svg);
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatch match : colour.globalMatch(text)) {
        out += QStringView(text).mid(from, match.capturedStart() - from);
        const QColor original = QColor::fromString(match.captured());
        float hue = 0, saturation = 0, lightness = 0;
        original.getHslF(&hue, &saturation, &lightness);
        out += QColor::fromHslF(hue, saturation, 1.0f - lightness).name();
        from = match.capturedEnd();
    }
    out += QStringView(text).mid(from);
    return out.toUtf8();
}

QIcon icon(const QString &name, const QColor &bar)
{
    const QString path = QStringLiteral(":/toolbar/%1.svg").arg(name);
    if (!isDark(bar))
        return QIcon(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray drawing = darkVariant(file.readAll());
    QIcon turned;
    // Drawn at the sizes a toolbar of 16-pixel pictures asks for on screens at one to three
    // times the usual scale.
    for (int side : {16, 32, 48}) {
        QByteArray bytes = drawing;
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(side, side));
        const QImage image = reader.read();
        if (!image.isNull())
            turned.addPixmap(QPixmap::fromImage(image));
    }
    return turned;
}

} // namespace vistrel::toolbaricons
