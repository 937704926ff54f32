#include "common/services.h"

#include "common/seamslot.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QtMath>

#include <cstdlib>
#include <utility>

namespace vistrel {
namespace {

QPointer<QWidget> &mainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

// A message belongs to the window that asked: a modal dialog when one is open (the print
// preview, the interval dialog), else the main window.
QWidget *dialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return mainWindow();
}

// A message shown in the middle of long work (loading, listing) gets the ordinary pointer back
// while it waits for the user; the busy one returns after it.
class ArrowWhileAsking
{
public:
    ArrowWhileAsking() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowWhileAsking() { QApplication::restoreOverrideCursor(); }
    ArrowWhileAsking(const ArrowWhileAsking &) = delete;
    ArrowWhileAsking &operator=(const ArrowWhileAsking &) = delete;
};

int openMessages = 0;

// A text wider than a message box should be, such as a long path, is shown in a read-only text
// view in the place of the box's label, wrapped by its layout at words where it can and anywhere
// where it must, so that it stays within the screen; the text itself is left as it is, for
// the box's text, a screen reader and a copy alike.
void wrapWithinScreen(QMessageBox &box, const QString &text)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    const QScreen *screen = box.screen();
    if (!label || !grid || !screen)
        return;
    const int widest = qMin(screen->availableGeometry().width() * 3 / 5, 640);
    const QFontMetrics metrics(label->font());
    int natural = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        natural = qMax(natural, metrics.horizontalAdvance(line));
    if (natural <= widest)
        return; // the label's own wrapping at words does
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
    auto *view = new QTextEdit(&box);
    view->setObjectName(QStringLiteral("messageText"));
    view->setReadOnly(true);
    view->setTextInteractionFlags(label->textInteractionFlags() | Qt::TextSelectableByMouse);
    view->setFocusPolicy(Qt::NoFocus); // Enter and the keys stay with the buttons
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->viewport()->setAutoFillBackground(false);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setLineWrapMode(QTextEdit::FixedPixelWidth);
    view->setLineWrapColumnOrWidth(widest);
    view->setFont(label->font());
    view->setPlainText(text);
    QTextDocument *document = view->document();
    document->setDocumentMargin(0);
    view->setFixedSize(widest, qCeil(document->size().height()));
    label->hide();
    grid->addWidget(view, row, column, rows, columns);
}

// File and folder names are shown as they are written, never read as markup, nor changed to
// wrap.
int showMessage(QMessageBox::Icon icon, const QString &title, const QString &prompt,
                QMessageBox::StandardButtons buttons)
{
    const ArrowWhileAsking arrow;
    const QScopedValueRollback<int> open(openMessages, openMessages + 1);
    const QPointer<QWidget> owner = dialogParent();
    QMessageBox box(icon, title, prompt, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    wrapWithinScreen(box, prompt);
    const int answer = box.exec();
    // The keyboard goes back to the window that asked, also where the window manager, busy
    // as the box closes, would leave no window focused.
    if (owner && owner->isVisible() && !owner->isMinimized())
        owner->activateWindow();
    return answer;
}

class MessageBoxPrompter final : public Prompter
{
public:
    bool askYesNo(const QString &prompt, const QString &title) override
    {
        return showMessage(QMessageBox::NoIcon, title, prompt,
                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void critical(const QString &prompt, const QString &title) override
    {
        showMessage(QMessageBox::Critical, title, prompt, QMessageBox::Ok);
    }
    void inform(const QString &prompt, const QString &title) override
    {
        showMessage(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok);
    }
};

class ProcessTerminator final : public Terminator
{
public:
    void endNow() override { std::_Exit(0); }
};

EndGate &endGate()
{
    static EndGate gate;
    return gate;
}

class EscapeEndsRun final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            const auto end = [] { terminator().endNow(); };
            if (const EndGate gate = endGate())
                gate(end);
            else
                end();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

MessageBoxPrompter realPrompter;
ProcessTerminator realTerminator;
SeamSlot<Prompter> currentPrompter(realPrompter);
SeamSlot<Terminator> currentTerminator(realTerminator);

} // namespace

Prompter &prompter()
{
    return currentPrompter.get();
}

bool isMessageOpen()
{
    return openMessages > 0;
}

Terminator &terminator()
{
    return currentTerminator.get();
}

Prompter *setPrompter(Prompter *replacement)
{
    return currentPrompter.replace(replacement);
}

Terminator *setTerminator(Terminator *replacement)
{
    return currentTerminator.replace(replacement);
}

void endRunOnEscape(QWidget *widget)
{
    static EscapeEndsRun filter;
    if (widget)
        widget->installEventFilter(&filter);
}

EndGate setEndGate(EndGate gate)
{
    return std::exchange(endGate(), std::move(gate));
}

void setDialogParent(QWidget *parent)
{
    mainWindow() = parent;
}

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

} // namespace vistrel
