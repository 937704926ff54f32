#include "common/nativename.h"

namespace vistrel {
namespace {

constexpr char16_t escapeBase = 0xDC00;

// Length of the valid UTF-8 sequence starting at s (1..4), or 0 when it is not one; its code
// point goes to *out.
int validSequenceLength(const unsigned char *s, qsizetype left, char32_t *out)
{
    const unsigned char c = s[0];
    *out = c;
    if (c < 0x80)
        return 1;
    int length = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = c & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (s[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *out = value;
    return length;
}

} // namespace

QString fromNative(const char *bytes, qsizetype length)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes);
    // Fast path: plain ASCII is by far the most common name.
    qsizetype i = 0;
    while (i < length && s[i] < 0x80)
        ++i;
    if (i == length)
        return QString::fromLatin1(bytes, length);

    QString text;
    text.reserve(length);
    text.append(QLatin1StringView(bytes, i));
    while (i < length) {
        char32_t value = 0;
        const int n = validSequenceLength(s + i, length - i, &value);
        if (n == 0) {
            text.append(QChar(char16_t(escapeBase + s[i])));
            ++i;
        } else if (value >= 0x10000) {
            text.append(QChar(QChar::highSurrogate(value)));
            text.append(QChar(QChar::lowSurrogate(value)));
            i += n;
        } else {
            // Appended as the code point itself: decoding the sequence on its own would drop a
            // byte order mark (EF BB BF), and the name would lead to another file.
            text.append(QChar(char16_t(value)));
            i += n;
        }
    }
    return text;
}

QByteArray toNative(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < 0x80) {
            bytes.append(char(u));
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            bytes.append(char(u - escapeBase));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            bytes.append(QStringView(text).mid(i, 2).toUtf8());
            ++i;
        } else {
            bytes.append(QStringView(text).mid(i, 1).toUtf8());
        }
    }
    return bytes;
}

} // namespace vistrel
