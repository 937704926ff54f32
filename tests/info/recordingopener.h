#pragma once

// A URL opener that records what it was asked to open, and whether the hourglass was up,
// instead of starting a browser; installed for the lifetime of a test.

#include "info/urlopener.h"

#include <QCursor>
#include <QGuiApplication>
#include <QStringList>

namespace vistrel::test {

class RecordingOpener final : public UrlOpener
{
public:
    UrlOpener::Result answer;
    QStringList opened;
    QList<bool> busyWhileOpening;

    RecordingOpener() : m_previous(setUrlOpener(this)) {}
    ~RecordingOpener() override { setUrlOpener(m_previous); }
    RecordingOpener(const RecordingOpener &) = delete;
    RecordingOpener &operator=(const RecordingOpener &) = delete;

    // Answers at once.
    void open(const QString &address, Done done) override
    {
        opened.append(address);
        const QCursor *cursor = QGuiApplication::overrideCursor();
        busyWhileOpening.append(cursor && cursor->shape() == Qt::WaitCursor);
        done(answer);
    }

private:
    UrlOpener *m_previous;
};

} // namespace vistrel::test
