#include "common/shownname.h"

namespace vistrel::shownname {

QString visible(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c).append(text.at(++i)); // a character beyond the first plane
            continue;
        }
        if (u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 ||
            u == 0x2029)
            out.append(QChar(lineBreakMark));
        else if (u == u'\t')
            out.append(QChar(tabMark));
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0) || c.isSurrogate())
            out.append(QChar(controlMark));
        else
            out.append(c);
    }
    return out;
}

} // namespace vistrel::shownname
