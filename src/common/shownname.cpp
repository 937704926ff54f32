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

} // namespace vistrel::shownname
