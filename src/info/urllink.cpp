#include "info/urllink.h"

#include "common/identity.h"
#include "common/services.h"
#include "info/handcursor.h"
#include "info/helppage.h"
#include "info/propertystore.h"
#include "info/urlopener.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTimer>

#include <memory>
#include <optional>

namespace vistrel {

namespace {
const QString textKey = QStringLiteral("Text");
const QString urlKey = QStringLiteral("URL");
const QString toolTipKey = QStringLiteral("ShowToolTip");
} // namespace

URLLink::URLLink(QWidget *parent) : QWidget(parent), m_label(new QLabel(this))
{
    m_label->setObjectName(QStringLiteral("lblURL"));
    m_label->setGeometry(8, 8, 105, 41);
    m_label->setText(QStringLiteral("Label1"));
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setUnderline(true);
    m_label->setFont(font);
    m_label->setCursor(linkCursor());
    m_label->installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
    applyHighlightColour();
    resize(320, 240);
    initProperties();
}

QString URLLink::defaultText()
{
    return helppage::caption();
}

QString URLLink::defaultUrl()
{
    return helppage::address();
}

QString URLLink::text() const
{
    return m_label->text();
}

void URLLink::setText(const QString &caption)
{
    m_label->setText(caption);
    const QFontMetrics metrics(m_label->font());
    m_label->setGeometry(0, 0, metrics.horizontalAdvance(caption), metrics.height());
    emit propertyChanged(textKey);
}

void URLLink::setUrl(const QString &address)
{
    m_url = address;
    refreshToolTip();
    emit propertyChanged(urlKey);
}

void URLLink::setShowToolTip(bool show)
{
    m_showToolTip = show;
    refreshToolTip();
    emit propertyChanged(toolTipKey);
}

void URLLink::initProperties()
{
    setText(defaultText());
    m_url = defaultUrl(); // the field itself: no tool tip refresh, no change mark yet
    setShowToolTip(false);
}

void URLLink::readProperties(const PropertyStore &store)
{
    const std::optional<QString> caption = storedText(store.readProperty(textKey, defaultText()));
    if (!caption) {
        initProperties();
        return;
    }
    setText(*caption);
    const std::optional<QString> address = storedText(store.readProperty(urlKey, defaultUrl()));
    if (!address) {
        initProperties();
        return;
    }
    m_url = *address;
    const std::optional<bool> show = storedBool(store.readProperty(toolTipKey, false));
    if (!show) {
        initProperties();
        return;
    }
    setShowToolTip(*show);
}

void URLLink::writeProperties(PropertyStore &store) const
{
    store.writeProperty(textKey, text(), defaultText());
    store.writeProperty(urlKey, m_url, defaultUrl());
    store.writeProperty(toolTipKey, m_showToolTip, false);
}

QCursor URLLink::linkCursor() const
{
    return handCursor();
}

bool URLLink::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && event->type() == QEvent::MouseButtonPress) {
        // The button just pressed, not every button held: a right press while the left is down
        // follows nothing.
        lblURL_MouseDown(static_cast<QMouseEvent *>(event)->button());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void URLLink::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyHighlightColour();
    QWidget::changeEvent(event);
}

void URLLink::activate()
{
    lblURL_MouseDown(Qt::LeftButton);
}

void URLLink::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        activate();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void URLLink::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    // The usual dotted frame around the caption shows where the keyboard focus is.
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = m_label->geometry().adjusted(-1, 0, 1, 0) & rect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void URLLink::lblURL_MouseDown(Qt::MouseButtons buttons)
{
    if (!(buttons & Qt::LeftButton))
        return;
    QString address = m_url;
    bool cancel = false;
    emit GoToURL(address, cancel);
    if (cancel)
        return;
    // The hourglass stays until the opener has an answer, or for a few seconds at most; a message
    // box should not show it.
    auto busy = std::make_shared<std::optional<BusyCursor>>(std::in_place);
    QTimer::singleShot(urlOpenerWaitMs, QCoreApplication::instance(), [busy] { busy->reset(); });
    urlOpener().open(address, [address, busy](const UrlOpener::Result &result) {
        busy->reset();
        if (!result.opened)
            prompter().inform(QStringLiteral("Unable to load '") + address +
                                  QStringLiteral("' : ") + result.description +
                                  QStringLiteral(" (Error ") + QString::number(result.number) +
                                  QLatin1Char(')'),
                              identity::title());
    });
}

void URLLink::refreshToolTip()
{
    m_label->setToolTip(m_showToolTip ? m_url : QString());
}

void URLLink::applyHighlightColour()
{
    // The label draws in the link's highlight colour, whatever palette the host gives it.
    QPalette labelPalette = m_label->palette();
    labelPalette.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    m_label->setPalette(labelPalette);
}

} // namespace vistrel
