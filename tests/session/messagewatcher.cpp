#include "messagewatcher.h"

#include "desktop.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QWindow>

namespace vistrel::session {

MessageWatcher::MessageWatcher(Desktop &desktop) : m_desktop(desktop)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageWatcher::look);
    m_timer.start();
}

void MessageWatcher::look()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeWindow());
    if (!box || !box->isVisible())
        return;
    if (box == m_answered) {
        // A key sent while the focus was still on its way to the box went elsewhere; the box
        // is still there, so it is answered again.
        if (m_sinceAnswer.elapsed() > 1500) {
            m_sinceAnswer.restart();
            m_desktop.key(m_lastKey.constData());
        }
        return;
    }
    Seen seen;
    seen.title = box->windowTitle();
    // The text as it reads: without the invisible places to break a long path at.
    seen.text = box->text().remove(QChar(0x200B));
    seen.plain = box->textFormat() == Qt::PlainText;
    const auto *owner = qobject_cast<QMainWindow *>(box->parentWidget());
    seen.ownedByMainWindow = owner && box->windowHandle() &&
                             box->windowHandle()->transientParent() == owner->windowHandle();
    m_seen.append(seen);
    m_answered = box;
    m_lastKey = m_answers.isEmpty() ? QByteArray("Return") : m_answers.takeFirst();
    m_sinceAnswer.start();
    m_desktop.key(m_lastKey.constData());
}

} // namespace vistrel::session
