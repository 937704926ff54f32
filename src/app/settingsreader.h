#pragma once

#include "app/settings.h"
#include "common/requests.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace vistrel {

class MainStatusBar;

// What the start-up reads from the user's configuration folder: the settings, and the documents
// folder the desktop names there.
struct StartupSettings
{
    StoredSettings stored;
    QString documents;
};

// Reads the settings off the window's thread (docs/design.md, "Work that may block") from the
// moment it is made, so that the time the splash stands counts for the read. Without an answer when
// take() asks, the window starts with the defaults, status panel 1 says the settings are being
// read, and arrived() brings the answer when it comes, unless drop() has made it stale by then (the
// user saved what the window shows).
class SettingsReader : public QObject
{
    Q_OBJECT

public:
    explicit SettingsReader(QString file, QObject *parent = nullptr);

    // The answer, if it comes within wait; else nothing, and it is told in status as awaited.
    std::optional<StartupSettings> take(MainStatusBar *status,
                                        std::chrono::milliseconds wait = Requests::quickAnswer);
    // Whether take() found no answer and the answer is still wanted.
    bool isPending() const { return m_pending; }
    // The answer still to come is not wanted any more.
    void drop();
    // Where the documents folder is when the desktop's own naming of it could not be read.
    static QString fallbackDocuments();

signals:
    // The answer that take() did not find, once it has come.
    void arrived(const StartupSettings &values);

private:
    void late(const StartupSettings &values);
    void tell(const QString &text);

    QString m_file;
    bool m_pending = false;
    std::optional<PanelText> m_panel; // status panel 1's text about the read, once taken
    PendingNotice m_notice;
    EarlyRequest<StartupSettings> m_answer; // last: answers stop before anything else goes
};

} // namespace vistrel
