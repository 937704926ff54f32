#pragma once

#include "app/settings.h"
#include "common/requests.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vistrel {

class BusyCursor;
class MainStatusBar;

// Saves the settings off the window's thread (docs/design.md, "Work that may block"). While its
// outcome is to come, status panel 1 says the settings are being saved; the outcome is then told
// once, as done or as the failure it is. A save asked for meanwhile is made with the newest values
// once the one under way has answered, never beside it.
// The end of the run waits for the outcome of a save asked for, up to a bound (beforeEnd).
class SettingsSaver : public QObject
{
    Q_OBJECT

public:
    // How long the end of the run waits for the outcome of the saves asked for.
    static constexpr std::chrono::milliseconds endWait{5000};

    SettingsSaver(QString file, MainStatusBar *status, QObject *parent = nullptr);
    ~SettingsSaver() override;

    void save(const StoredSettings &values);
    // Whether a save's outcome is still to come.
    bool isSaving() const { return m_line.isPending(); }
    // Runs end at once when no save's outcome is to come. Otherwise end waits for it, the window
    // answering meanwhile, with the busy cursor and panel 1 saying so: it runs once the outcome
    // is told, or, when that is still unknown after wait, once the save has been told, once, as
    // not done. Asked again while it waits, it keeps the end it was first given.
    void beforeEnd(std::function<void()> end, std::chrono::milliseconds wait = endWait);

signals:
    // A save's outcome is known: empty when the file holds every value, else why it does not.
    void finished(const QString &failure);

private:
    void start(const StoredSettings &values);
    void finish(const QString &failure, bool late);
    void giveUp();
    void end();

    QString m_file;
    std::optional<StoredSettings> m_next;
    PanelText m_panel; // status panel 1's text about the save
    // The end of the run, while it waits for the saves' outcome.
    std::function<void()> m_end;
    QDeadlineTimer m_endBy;
    QTimer m_endWait;
    std::unique_ptr<BusyCursor> m_endBusy;
    // The save under way: once it is told as not done it is given up, and its worker then
    // removes its new file instead of putting it in place; once the worker puts it in place,
    // it can no longer be given up. Whichever comes first holds.
    enum class Fate { Open, Replacing, GivenUp };
    std::shared_ptr<std::atomic<Fate>> m_fate;
    PendingNotice m_notice;
    Requests m_requests{this}; // last: answers stop before anything else goes
    RequestLine m_line{m_requests, &m_notice};
};

} // namespace vistrel
