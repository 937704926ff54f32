#pragma once

#include "common/requests.h"
#include "viewer/filelook.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace vistrel {

// Looks at the files the display shows off the window's thread (FileLook, as docs/design.md, "Work
// that may block" says), one request at a time of which only the newest counts. While one is to
// come, pending tells its path (an empty one once none is), and silent tells once that it does not
// answer.
class PictureLooks : public QObject
{
    Q_OBJECT

public:
    explicit PictureLooks(QObject *parent = nullptr);

    std::optional<FileLook> look(const QByteArray &native, const QString &path,
                                 std::function<void(const FileLook &)> late);
    void drop() { m_line.drop(); }
    bool isPending() const { return m_line.isPending(); }

signals:
    void pending(const QString &path);
    void silent(const QString &path);

private:
    PendingNotice m_notice;
    Requests m_requests{this}; // last: answers stop before anything else goes
    RequestLine m_line{m_requests, &m_notice};
};

} // namespace vistrel
