#include "messagewatcher.h"

#include "desktop.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
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
    seen.text = box->text();
    seen.plain = box->textFormat() == Qt::PlainText;
    // What is shown: the box's label, or the view that wraps a long text in its place.
    auto *view = box->findChild<QTextEdit *>(QStringLiteral("messageText"));
    auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (view && view->isVisible()) {
        if (QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(view))
            seen.accessibleText = accessible->text(QAccessible::Value);
        view->selectAll();
        QApplication::clipboard()->clear();
        view->copy();
        seen.copied = QApplication::clipboard()->text();
        QTextDocument *document = view->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            seen.lines += block.layout()->lineCount();
        seen.wrapped = document->idealWidth() <= view->viewport()->width() &&
                       document->size().height() <= view->viewport()->height() + 1;
    } else if (label) {
        if (QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(label))
            seen.accessibleText = accessible->text(QAccessible::Name);
        // Selected whole and copied, as with the mouse and Ctrl+C.
        QWidget *focused = box->focusWidget();
        label->setFocus();
        label->setSelection(0, int(label->text().size()));
        QApplication::clipboard()->clear();
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
        QApplication::sendEvent(label, &copy);
        seen.copied = QApplication::clipboard()->text();
        if (focused)
            focused->setFocus();
        seen.lines = label->height() / label->fontMetrics().lineSpacing();
        seen.wrapped = label->sizeHint().width() <= label->width();
    }
    seen.onScreen = box->screen()->availableGeometry().contains(box->frameGeometry());
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
