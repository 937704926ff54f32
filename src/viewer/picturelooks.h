#pragma once

#include "common/detachedreads.h"
#include "viewer/filelook.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace vistrel {

// Looks at the files the display shows off the window's thread (FileLook through DetachedReads),
// one request at a time of which only the newest counts. A look that answers within the quick
// answer is returned at once, as if it had been made in place; a later one is handed to its
// callback by a queued call, unless another look was asked for or the look was dropped by then.
// While one is to come, pending tells its path (an empty one once none is), and silent tells
// once, after DetachedReads::silence, that it does not answer. A file that never answers costs one
// thread.
class PictureLooks : public QObject
{
    Q_OBJECT

public:
    explicit PictureLooks(QObject *parent = nullptr);

    std::optional<FileLook> look(const QByteArray &native, const QString &path,
                                 std::function<void(const FileLook &)> late);
    void drop();
    bool isPending() const { return m_line.isPending(); }

signals:
    void pending(const QString &path);
    void silent(const QString &path);

private:
    void settle();

    QTimer m_silence;
    QString m_path;              // of the look to come, empty when none
    DetachedReads m_reads{this}; // last: answers stop before anything else goes
    DetachedLine m_line{m_reads};
};

} // namespace vistrel
