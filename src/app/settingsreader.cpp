#include "app/settingsreader.h"

#include "app/statusbar.h"
#include "app/userfolders.h"

namespace vistrel {

SettingsReader::SettingsReader(QString file, QObject *parent)
    : QObject(parent), m_file(std::move(file)), m_answer([file = m_file] {
          // The desktop names the documents folder in a file of the configuration folder.
          return StartupSettings{readSettings(file), userFolder(QStandardPaths::DocumentsLocation)};
      })
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(DetachedReads::silence);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        tell(QStringLiteral("The folder of %1 does not answer; the window shows the default "
                            "settings until it does.")
                 .arg(m_file));
    });
}

QString SettingsReader::fallbackDocuments()
{
    return homeFolder() + QStringLiteral("/Documents");
}

std::optional<StartupSettings> SettingsReader::take(MainStatusBar *status,
                                                    std::chrono::milliseconds wait)
{
    m_status = status;
    std::optional<StartupSettings> now =
        m_answer.take([this](StartupSettings values) { late(values); }, wait);
    if (now)
        return now;
    m_pending = true;
    tell(QStringLiteral("Reading the settings from %1…").arg(m_file));
    m_silence.start();
    return std::nullopt;
}

void SettingsReader::late(const StartupSettings &values)
{
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
