#include "print/papernames.h"

#include <QList>
#include <QSizeF>

#include <cups/cups.h>

#include <cstring>

namespace vistrel {

namespace {

std::optional<NamedPaper> fromMedia(const pwg_media_t *media)
{
    if (!media || media->width <= 0 || media->length <= 0)
        return std::nullopt;
    return paperOfSize(media->width, media->length, media->pwg);
}

// Printer descriptions' names that the service's own table knows only in one letter case, or
// not at all.
const struct
{
    const char *lower;
    const char *pwg;
} commonNames[] = {
    {"letter", "na_letter_8.5x11in"},
    {"legal", "na_legal_8.5x14in"},
    {"executive", "na_executive_7.25x10.5in"},
    {"statement", "na_invoice_5.5x8.5in"},
    {"tabloid", "na_ledger_11x17in"},
    {"ledger", "na_ledger_11x17in"},
    {"a3", "iso_a3_297x420mm"},
    {"a4", "iso_a4_210x297mm"},
    {"a5", "iso_a5_148x210mm"},
    {"a6", "iso_a6_105x148mm"},
    {"b4", "jis_b4_257x364mm"},
    {"b5", "jis_b5_182x257mm"},
};

// "w612h792": a size in points.
std::optional<NamedPaper> fromPoints(const QByteArray &name)
{
    const int h = name.indexOf('h');
    if (!name.startsWith('w') || h < 2)
        return std::nullopt;
    bool wide = false, tall = false;
    const double width = name.mid(1, h - 1).toDouble(&wide);
    const double length = name.mid(h + 1).toDouble(&tall);
    if (!wide || !tall || width <= 0 || length <= 0)
        return std::nullopt;
    return fromMedia(pwgMediaForSize(int(width * 2540 / 72 + 0.5), int(length * 2540 / 72 + 0.5)));
}

std::optional<NamedPaper> oneName(const QByteArray &name)
{
    if (name.isEmpty())
        return std::nullopt;
    if (auto paper = fromMedia(pwgMediaForPWG(name.constData())))
        return paper;
    if (auto paper = fromMedia(pwgMediaForLegacy(name.constData())))
        return paper;
    if (auto paper = fromMedia(pwgMediaForPPD(name.constData())))
        return paper;
    const QByteArray lower = name.toLower();
    for (const auto &known : commonNames)
        if (lower == known.lower)
            return fromMedia(pwgMediaForPWG(known.pwg));
    if (auto paper = fromPoints(lower))
        return paper;
    // A variant of a plain sheet: "Letter.Fullbleed", "A4.Borderless", "LetterSmall",
    // "na_letter_8.5x11in_borderless".
    const int dot = name.indexOf('.');
    if (dot > 0 && !lower.startsWith("custom.") && !lower.contains('_'))
        return oneName(name.left(dot));
    for (const char *suffix : {"small", "_borderless", ".borderless"})
        if (lower.endsWith(suffix) && lower.size() > qsizetype(std::strlen(suffix)))
            return oneName(name.left(name.size() - qsizetype(std::strlen(suffix))));
    return std::nullopt;
}

} // namespace

NamedPaper paperOfSize(int width, int length, const char *name)
{
    const QSizeF millimetres(width / 100.0, length / 100.0);
    const QPageSize::PageSizeId id =
        QPageSize::id(millimetres, QPageSize::Millimeter, QPageSize::FuzzyMatch);
    if (id != QPageSize::Custom)
        return NamedPaper{QPageSize(id), QByteArray(name)};
    return NamedPaper{QPageSize(millimetres, QPageSize::Millimeter, QString::fromUtf8(name)),
                      QByteArray(name)};
}

std::optional<NamedPaper> paperNamed(const QByteArray &name)
{
    for (const QByteArray &part : name.split(','))
        if (auto paper = oneName(part.trimmed()))
            return paper;
    return std::nullopt;
}

QByteArray pwgNameOf(const QPageSize &size)
{
    const QSizeF millimetres = size.size(QPageSize::Millimeter);
    const pwg_media_t *media = pwgMediaForSize(int(millimetres.width() * 100 + 0.5),
                                               int(millimetres.height() * 100 + 0.5));
    return media ? QByteArray(media->pwg) : QByteArray();
}

QByteArray defaultPageSizeOfPpd(const QByteArray &ppdText)
{
    static const QByteArray key("*DefaultPageSize:");
    for (const QByteArray &line : ppdText.split('\n'))
        if (line.startsWith(key)) {
            const QByteArray value = line.mid(key.size()).trimmed();
            // "Unknown" is what a description says when it has no default.
            return value.compare("Unknown", Qt::CaseInsensitive) == 0 ? QByteArray() : value;
        }
    return QByteArray();
}

} // namespace vistrel
