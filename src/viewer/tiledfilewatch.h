#pragma once

#include "common/fileidentity.h"
#include "common/requests.h"

#include <QByteArray>
#include <QObject>

class QTimer;

namespace vistrel {

// Looks at the file of a picture shown in tiles every second, off the window's thread, and says
// when it is no longer as the display looked at it (replaced, cut or rewritten). Such a picture
// is read only by region as the view moves, so without this a change would go unseen for as
// long as it is shown. A look that does not answer is waited for: no second one is started
// meanwhile.
class TiledFileWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int intervalMs = 1000;

    explicit TiledFileWatch(QObject *parent = nullptr);

    // Watches native, which the display saw as `seen`; replaces any file watched before.
    void watch(const QByteArray &native, const FileIdentity &seen);
    // Watches nothing; a look on its way is not told.
    void stop();
    bool isWatching() const { return !m_native.isEmpty(); }

signals:
    // The file watched is no longer as seen; told once, and the watch stops.
    void changed(const QByteArray &native);

private:
    void look();
    void looked(const FileIdentity &now);

    QByteArray m_native;
    FileIdentity m_seen;
    QTimer *m_timer;
    Requests m_requests{this}; // last: answers stop before anything else goes
    RequestLine m_look{m_requests};
};

} // namespace vistrel
