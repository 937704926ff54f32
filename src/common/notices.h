#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

namespace vistrel {

// What is told while work that may block is under way (docs/design.md, "Work that may block"):
// `PendingNotice` tells "pending", then once "does not answer", then the outcome; `PanelText`
// takes back only its own text of a shared panel.

// Told while requests are pending: pending(place) when one starts to wait, pending("") once
// none is left; silent(place) once when the place has not answered for Requests::silence.
class PendingNotice
{
public:
    std::function<void(const QString &)> pending;
    std::function<void(const QString &)> silent;

    // A line's request for place is to come; answered once it came or was dropped.
    void wait(const void *line, const QString &place);
    void answered(const void *line);
    bool isPending() const { return !m_waiting.empty(); }
    // The place waited for last; empty when none.
    QString place() const { return isPending() ? m_place : QString(); }

private:
    std::map<const void *, QString> m_waiting;
    QString m_place;
    quint64 m_episode = 0;
    QObject m_context; // the alarms go with the notice
};

// A text of a panel shared with others (status panel 1): a new text is always shown, and taking
// it back clears the panel only while it still shows this text.
class PanelText
{
public:
    PanelText(std::function<QString()> shown, std::function<void(const QString &)> show)
        : m_shown(std::move(shown)), m_show(std::move(show))
    {}
    void tell(const QString &text)
    {
        if (!text.isEmpty() || m_shown() == m_own)
            m_show(text);
        m_own = text;
    }
    const QString &own() const { return m_own; }

private:
    std::function<QString()> m_shown;
    std::function<void(const QString &)> m_show;
    QString m_own;
};

} // namespace vistrel
