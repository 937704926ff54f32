#include "common/shownname.h"

namespace vistrel::shownname {

QString visible(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            out.append(QChar(char16_t(0x2400 + u))); // the Control Pictures block
        else if (u == 0x7F)
            out.append(QChar(char16_t(0x2421)));
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            out.append(QChar(char16_t(0x2424)));
        else
            out.append(c);
    }
    return out;
}

QString breakable(const QString &text)
{
    constexpr qsizetype longestRun = 40;
    constexpr char16_t zeroWidthSpace = 0x200B;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype run = 0;
    for (const QChar c : text) {
        out.append(c);
        ++run;
        if (c.isSpace()) {
            run = 0;
        } else if (c == u'/' || run >= longestRun) {
            out.append(QChar(zeroWidthSpace));
            run = 0;
        }
    }
    return out;
}

} // namespace vistrel::shownname
