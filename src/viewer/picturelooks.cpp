#include "viewer/picturelooks.h"

namespace vistrel {

PictureLooks::PictureLooks(QObject *parent) : QObject(parent)
{
    m_notice.pending = [this](const QString &path) { emit pending(path); };
    m_notice.silent = [this](const QString &path) { emit silent(path); };
}

std::optional<FileLook> PictureLooks::look(const QByteArray &native, const QString &path,
                                           std::function<void(const FileLook &)> late)
{
    return m_line.run<FileLook>(
        Request::fileAt(path), [native] { return FileLook::of(native); },
        [late = std::move(late)](FileLook answer) { late(answer); });
}

} // namespace vistrel
