#pragma once

#include "common/requests.h"
#include "viewer/filelook.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace vistrel {

// Looks at the files the display shows off the window's thread (FileLook, one line of requests
// of which only the newest counts). A look that answers within the quick answer is returned at
// once, as if it had been made in place; a later one is handed to its callback by a queued call,
// unless another look was asked for or the look was dropped by then. While one is to come,
// pending tells its path (an empty one once none is), and silent tells once that it does not
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
