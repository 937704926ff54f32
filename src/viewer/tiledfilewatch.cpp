#include "viewer/tiledfilewatch.h"

#include "common/nativename.h"

#include <QTimer>

namespace vistrel {

TiledFileWatch::TiledFileWatch(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, &TiledFileWatch::look);
}

void TiledFileWatch::watch(const QByteArray &native, const FileIdentity &seen)
{
    stop();
    if (native.isEmpty())
        return;
    m_native = native;
    m_seen = seen;
    m_timer->start();
}

void TiledFileWatch::stop()
{
    m_timer->stop();
    m_look.drop();
    m_native.clear();
    m_seen = FileIdentity();
}

void TiledFileWatch::look()
{
    if (m_native.isEmpty() || m_look.isPending())
        return;
    if (const std::optional<FileIdentity> now = m_look.run<FileIdentity>(
            Request::fileAt(fromNative(m_native)),
            [native = m_native] { return FileIdentity::of(native); },
            [this](const FileIdentity &late) { looked(late); }))
        looked(*now);
}

void TiledFileWatch::looked(const FileIdentity &now)
{
    if (m_native.isEmpty() || now == m_seen)
        return;
    const QByteArray native = m_native;
    stop();
    emit changed(native);
}

} // namespace vistrel
