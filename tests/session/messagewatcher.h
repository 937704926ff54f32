#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QMessageBox;

namespace vistrel::session {

class Desktop;

// Answers each message box of the program with a key (Enter unless told otherwise), as soon as
// the window manager has given it the keyboard focus, and keeps what each one said. It works
// from a timer, so it answers also while the program waits inside the box's own event loop.
class MessageWatcher : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString title;
        QString text;
        // Plain text: a file name that looks like markup is shown as it is written.
        bool plain = false;
        // The main window is its parent, and the window manager knows it belongs to it.
        bool ownedByMainWindow = false;
        // What a screen reader reads of it, and the copy of its text, exactly as given.
        QString accessibleText;
        QString copied;
        // The box is wholly on its screen, its text in `lines` lines that all fit it.
        bool onScreen = false;
        int lines = 0;
        bool wrapped = false;
    };

    explicit MessageWatcher(Desktop &desktop);

    // Keys for the next boxes, in turn (X key names such as "Return", "Escape").
    void answerWith(const QList<QByteArray> &keys) { m_answers = keys; }
    int count() const { return int(m_seen.size()); }
    const QList<Seen> &seen() const { return m_seen; }

private:
    void look();

    Desktop &m_desktop;
    QTimer m_timer;
    QList<QByteArray> m_answers;
    QList<Seen> m_seen;
    QPointer<QMessageBox> m_answered;
    QByteArray m_lastKey;
    QElapsedTimer m_sinceAnswer;
};

} // namespace vistrel::session
