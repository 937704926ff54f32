#include "app/settingsreader.h"

#include "app/statusbar.h"
#include "app/userfolders.h"

namespace vistrel {

SettingsReader::SettingsReader(QString file, QObject *parent)
    : QObject(parent), m_file(std::move(file)), m_answer(Request::fileAt(m_file), [file = m_file] {
          // The desktop names the documents folder in a file of the configuration folder.
          return StartupSettings{readSettings(file), userFolder(QStandardPaths::DocumentsLocation)};
      })
{
    m_notice.pending = [this](const QString &place) {
        if (!place.isEmpty())
            tell(QStringLiteral("Reading the settings from %1…").arg(m_file));
    };
    m_notice.silent = [this](const QString &) {
        tell(QStringLiteral("The folder of %1 does not answer; the window shows the default "
                            "settings until it does.")
                 .arg(m_file));
    };
}

QString SettingsReader::fallbackDocuments()
{
    return homeFolder() + QStringLiteral("/Documents");
}

std::optional<StartupSettings> SettingsReader::take(MainStatusBar *status,
                                                    std::chrono::milliseconds wait)
{
    if (status)
        m_panel.emplace([status] { return status->panelText(1); },
                        [status](const QString &text) { status->setPanelText(1, text); });
    std::optional<StartupSettings> now =
        m_answer.take([this](StartupSettings values) { late(values); }, wait);
    if (now)
        return now;
    m_pending = true;
    m_notice.wait(this, m_file);
    return std::nullopt;
}

void SettingsReader::late(const StartupSettings &values)
{
    if (!m_pending)
        return;
    m_pending = false;
    m_notice.answered(this);
    tell(QStringLiteral("The settings were read from %1.").arg(m_file));
    emit arrived(values);
}

void SettingsReader::drop()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_notice.answered(this);
    tell(QString());
}

void SettingsReader::tell(const QString &text)
{
    if (m_panel)
        m_panel->tell(text);
}

} // namespace vistrel
