#include "viewer/picturelooks.h"

namespace vistrel {

PictureLooks::PictureLooks(QObject *parent) : QObject(parent)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(DetachedReads::silence);
    connect(&m_silence, &QTimer::timeout, this, [this] { emit silent(m_path); });
}

std::optional<FileLook> PictureLooks::look(const QByteArray &native, const QString &path,
                                           std::function<void(const FileLook &)> late)
{
    settle();
    std::optional<FileLook> now = m_line.runAt<FileLook>(
        path, [native] { return FileLook::of(native); },
        [this, late = std::move(late)](FileLook answer) {
            settle();
            late(answer);
        });
    if (!now) {
        m_path = path;
        m_silence.start();
        emit pending(path);
    }
    return now;
}

void PictureLooks::drop()
{
    m_line.drop();
    settle();
}

void PictureLooks::settle()
{
    m_silence.stop();
    if (m_path.isEmpty())
        return;
    m_path.clear();
    emit pending(QString());
}

} // namespace vistrel
