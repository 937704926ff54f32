#pragma once

#include <QByteArray>
#include <QString>

namespace vistrel {

// File names on Linux are bytes. Names that are valid UTF-8 become ordinary text; each byte of an
// invalid sequence is kept as a lone surrogate U+DC80..U+DCFF, so that every name survives the
// round trip to text and back and can still be opened, listed and deleted.
QString fromNative(const char *bytes, qsizetype length);
inline QString fromNative(const QByteArray &bytes)
{
    return fromNative(bytes.constData(), bytes.size());
}
QByteArray toNative(const QString &text);

} // namespace vistrel
