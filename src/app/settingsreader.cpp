#include "app/settingsreader.h"

#include "app/statusbar.h"
#include "app/userfolders.h"

#include <condition_variable>
#include <mutex>

namespace vistrel {

// The read's answer as the reading thread leaves it, for take() to wait on.
struct SettingsReader::Answer
{
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<StartupSettings> values;
};

SettingsReader::SettingsReader(QString file, QObject *parent)
    : QObject(parent), m_file(std::move(file)), m_answer(std::make_shared<Answer>())
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(silenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        tell(QStringLiteral("The folder of %1 does not answer; the window shows the default "
                            "settings until it does.")
                 .arg(m_file));
    });
    // Nobody waits here: the answer is taken when the window is made.
    std::optional<StartupSettings> now = m_reads.run<StartupSettings>(
        [file = m_file, answer = m_answer] {
            // The desktop names the documents folder in a file of the configuration folder.
            StartupSettings read{readSettings(file), userFolder(QStandardPaths::DocumentsLocation)};
            const std::lock_guard<std::mutex> lock(answer->mutex);
            answer->values = read;
            answer->answered.notify_all();
            return read;
        },
        [this](StartupSettings values) { late(values); }, std::chrono::milliseconds(0));
    if (now)
        m_early = std::move(now);
}

QString SettingsReader::fallbackDocuments()
{
    return homeFolder() + QStringLiteral("/Documents");
}

std::optional<StartupSettings> SettingsReader::take(MainStatusBar *status,
                                                    std::chrono::milliseconds wait)
{
    m_status = status;
    m_taken = true;
    if (m_early)
        return m_early;
    {
        std::unique_lock<std::mutex> lock(m_answer->mutex);
        if (m_answer->answered.wait_for(lock, wait,
                                        [this] { return m_answer->values.has_value(); }))
            return m_answer->values; // its queued delivery then finds it taken
    }
    m_pending = true;
    tell(QStringLiteral("Reading the settings from %1…").arg(m_file));
    m_silence.start();
    return std::nullopt;
}

void SettingsReader::late(const StartupSettings &values)
{
    if (!m_taken) {
        m_early = values;
        return;
    }
    if (!m_pending)
        return;
    m_pending = false;
    m_silence.stop();
    tell(QStringLiteral("The settings were read from %1.").arg(m_file));
    emit arrived(values);
}

void SettingsReader::drop()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_silence.stop();
    tell(QString());
}

void SettingsReader::tell(const QString &notice)
{
    if (!m_status)
        return;
    // Panel 1 is shared: only a text of the read's own is taken back.
    if (!notice.isEmpty() || m_status->panelText(1) == m_notice)
        m_status->setPanelText(1, notice);
    m_notice = notice;
}

} // namespace vistrel
