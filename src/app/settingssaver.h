#pragma once

#include "app/settings.h"
#include "common/detachedreads.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace vistrel {

class MainStatusBar;

// Saves the settings off the window's thread (docs/design.md, "Work that may block"). While its
// outcome is to come, status panel 1 says the settings are being saved; the outcome is then told
// once, as done or as the failure it is. A save asked for meanwhile is made with the newest values
// once the one under way has answered, never beside it.
class SettingsSaver : public QObject
{
    Q_OBJECT

public:
    SettingsSaver(QString file, MainStatusBar *status, QObject *parent = nullptr);

    void save(const StoredSettings &values);
    // Whether a save's outcome is still to come.
    bool isSaving() const { return m_saving; }

signals:
    // A save's outcome is known: empty when the file holds every value, else why it does not.
    void finished(const QString &failure);

private:
    void start(const StoredSettings &values);
    void finish(const QString &failure, bool late);
    void tell(const QString &notice);

    QString m_file;
    MainStatusBar *m_status;
    bool m_saving = false;
    std::optional<StoredSettings> m_next;
    QString m_notice; // panel 1's text about the save, while it shows
    QTimer m_silence;
    DetachedReads m_reads{this}; // last: answers stop before anything else goes
};

} // namespace vistrel
