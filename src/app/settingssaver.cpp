#include "app/settingssaver.h"

#include "app/statusbar.h"
#include "common/services.h"

#include <QFileInfo>

#include <utility>

namespace vistrel {

SettingsSaver::SettingsSaver(QString file, MainStatusBar *status, QObject *parent)
    : QObject(parent), m_file(std::move(file)),
      m_panel([status] { return status->panelText(1); },
              [status](const QString &text) { status->setPanelText(1, text); })
{
    m_notice.silent = [this](const QString &) {
        if (m_end)
            return; // the notice of the end's wait stays; the end tells the outcome
        m_panel.tell(
            QStringLiteral("The folder of %1 does not answer; the settings are not saved yet.")
                .arg(m_file));
    };
    m_endWait.setSingleShot(true);
    connect(&m_endWait, &QTimer::timeout, this, &SettingsSaver::giveUp);
}

SettingsSaver::~SettingsSaver() = default;

void SettingsSaver::save(const StoredSettings &values)
{
    if (isSaving()) {
        m_next = values;
        return;
    }
    start(values);
}

void SettingsSaver::start(const StoredSettings &values)
{
    std::optional<QString> failure;
    m_fate = std::make_shared<std::atomic<Fate>>(Fate::Open);
    {
        const BusyCursor busy; // only while waiting: a message never shows the hourglass
        failure = m_line.run<QString>(
            Request::fileAt(m_file),
            [file = m_file, values, fate = m_fate] {
                return writeSettings(file, values, [&fate] {
                    Fate open = Fate::Open;
                    return fate->compare_exchange_strong(open, Fate::Replacing);
                });
            },
            [this](QString late) { finish(late, true); });
    }
    if (failure) {
        finish(*failure, false);
        return;
    }
    m_panel.tell(m_end ? QStringLiteral("Saving the settings to %1 before ending…").arg(m_file)
                       : QStringLiteral("Saving the settings to %1…").arg(m_file));
}

void SettingsSaver::finish(const QString &failure, bool late)
{
    // The bound of the end's wait does not run out while the outcome is being told.
    m_endWait.stop();
    if (!failure.isEmpty()) {
        m_panel.tell(QString());
        prompter().critical(
            QStringLiteral("The settings could not be saved to %1: %2.").arg(m_file, failure),
            errorTitle());
    } else if (late) {
        m_panel.tell(QStringLiteral("The settings were saved to %1.").arg(m_file));
    }
    emit finished(failure);
    if (m_next && !isSaving()) {
        const StoredSettings next = *m_next;
        m_next.reset();
        start(next);
    }
    if (!m_end)
        return;
    if (!isSaving())
        end();
    else if (!m_endWait.isActive())
        m_endWait.start(std::chrono::milliseconds(m_endBy.remainingTime()));
}

void SettingsSaver::beforeEnd(std::function<void()> endRun, std::chrono::milliseconds wait)
{
    if (!isSaving()) {
        endRun();
        return;
    }
    if (m_end)
        return;
    m_end = std::move(endRun);
    m_endBusy = std::make_unique<BusyCursor>();
    m_endBy = QDeadlineTimer(wait);
    m_panel.tell(QStringLiteral("Saving the settings to %1 before ending…").arg(m_file));
    m_endWait.start(wait);
}

void SettingsSaver::giveUp()
{
    if (!isSaving() || !m_end)
        return;
    m_line.drop(); // its outcome, should it come, is not told: it is told as not done
    // From now on the save does not land unseen: its worker removes its new file. One already
    // being put in place (a rename in a folder that does not answer) cannot be taken back.
    Fate open = Fate::Open;
    m_fate->compare_exchange_strong(open, Fate::GivenUp);
    m_next.reset();
    m_endBusy.reset();
    m_panel.tell(QString());
    prompter().critical(QStringLiteral("The settings were not saved to %1: the folder %2 does "
                                       "not answer.")
                            .arg(m_file, QFileInfo(m_file).path()),
                        errorTitle());
    end();
}

void SettingsSaver::end()
{
    m_endWait.stop();
    m_endBusy.reset();
    if (const std::function<void()> endRun = std::exchange(m_end, {}))
        endRun();
}

} // namespace vistrel
