#include "info/infoscreen.h"

#include "common/identity.h"
#include "common/units.h"
#include "info/infopalette.h"
#include "info/urllink.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

namespace vistrel {
namespace {

QFont arial(qreal points, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel *label(QWidget *parent, const char *name, const infolayout::TwipRect &at, const QFont &font,
              const QColor &colour = QColor())
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(units::toPixels(at));
    l->setFont(font);
    if (colour.isValid()) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
    }
    return l;
}

} // namespace

InfoScreen InfoScreen::build(QWidget *window, const infolayout::ScreenLayout &layout)
{
    using namespace infolayout;
    window->setFixedSize(units::toPixels(clientWidth), units::toPixels(clientHeight));
    window->setPalette(infopalette::forTheme(QGuiApplication::palette()));

    InfoScreen s;
    s.Frame1 = new QFrame(window);
    s.Frame1->setObjectName(QStringLiteral("Frame1"));
    s.Frame1->setFrameShape(QFrame::Box);
    s.Frame1->setFrameShadow(QFrame::Sunken);
    s.Frame1->setGeometry(units::toPixels(frame));

    QWidget *in = s.Frame1;
    s.lblCompanyProduct = label(in, "lblCompanyProduct", layout.companyProduct, arial(18, true));
    s.lblProductName =
        label(in, "lblProductName", layout.productName, arial(32.25, true), QColor(0, 0, 128));
    s.lblPlatform =
        label(in, "lblPlatform", layout.platform, arial(15.75, true), QColor(0, 0, 255));
    s.lblVersion = label(in, "lblVersion", layout.version, arial(12, false), QColor(64, 0, 64));
    s.lblCopyright = label(in, "lblCopyright", layout.copyright, arial(8.25, false));
    s.lblCompany = label(in, "lblCompany", layout.company, arial(8.25, false));

    s.Image1 = new QLabel(in);
    s.Image1->setObjectName(QStringLiteral("Image1"));
    s.Image1->setGeometry(units::toPixels(layout.image));
    s.Image1->setScaledContents(true);
    s.Image1->setPixmap(QPixmap(QStringLiteral(":/vistrel/info/picture.png")));
    // An image says to a screen reader what it shows.
    s.Image1->setAccessibleName(identity::productName() + QStringLiteral(" logo"));

    s.link = new URLLink(layout.linkOnWindow ? window : in);
    s.link->setObjectName(layout.linkOnWindow ? QStringLiteral("URLLink1")
                                              : QStringLiteral("URLLink2"));
    s.link->setGeometry(units::toPixels(layout.link));

    s.btnCont = new QPushButton(QStringLiteral("Continue"), in);
    s.btnCont->setObjectName(QStringLiteral("btnCont"));
    s.btnCont->setGeometry(units::toPixels(layout.button));

    s.lblVersion->setText(
        identity::versionText(identity::major, identity::minor, identity::revision));
    s.lblProductName->setText(identity::title());
    s.lblCompanyProduct->setText(identity::companyName());
    s.lblCopyright->setText(identity::legalCopyright());
    s.lblCompany->setText(identity::companyName());
    s.lblPlatform->setText(QStringLiteral("32Bit"));
    s.fitTexts();
    return s;
}

void InfoScreen::fitTexts()
{
    // The boxes are drawn up for short texts; a longer identity text widens its box instead of
    // being cut off, within the frame and without running into its neighbours.
    const int inner = Frame1->width() - 2 * Frame1->frameWidth();
    auto widen = [inner](QLabel *l) {
        const int needed = l->fontMetrics().horizontalAdvance(l->text()) + 2;
        QRect r = l->geometry();
        if (needed <= r.width())
            return;
        if (l->alignment() & Qt::AlignRight)
            r.setLeft(qMax(2, r.right() + 1 - needed));
        else
            r.setWidth(qMin(needed, inner - r.left()));
        l->setGeometry(r);
    };
    lblPlatform->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel *l : {lblCompanyProduct, lblProductName, lblPlatform, lblVersion, lblCompany})
        widen(l);

    // The legal notice wraps in the room left of the platform and version column, and the
    // company line moves down below it when it takes more than one line.
    const int column = qMin(lblPlatform->geometry().left(), lblVersion->geometry().left());
    QRect notice = lblCopyright->geometry();
    if (lblCopyright->fontMetrics().horizontalAdvance(lblCopyright->text()) + 2 > notice.width()) {
        lblCopyright->setWordWrap(true);
        notice.setWidth(qMax(notice.width(), column - 6 - notice.left()));
        notice.setHeight(qMax(notice.height(), lblCopyright->heightForWidth(notice.width())));
        lblCopyright->setGeometry(notice);
    }
    QRect company = lblCompany->geometry();
    if (company.top() <= notice.bottom())
        company.moveTop(notice.bottom() + 1);
    lblCompany->setGeometry(company);
}

TypedKeyWatcher::TypedKeyWatcher(QWidget *window) : QObject(window)
{
    window->installEventFilter(this);
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *child : children)
        child->installEventFilter(this);
}

bool TypedKeyWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Tab moves the focus, and a chord with Ctrl, Alt or Meta is a command: neither types.
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (key->text().isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
        (key->modifiers() & chord))
        return QObject::eventFilter(watched, event);
    // Enter or Space on a focused button presses it, and on the focused link follows it, so the
    // keyboard alone can go on.
    const bool activates =
        key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (activates) {
        if (auto *button = qobject_cast<QAbstractButton *>(watched)) {
            button->click();
            return true;
        }
        if (auto *link = qobject_cast<URLLink *>(watched)) {
            link->activate();
            return true;
        }
    }
    emit keyTyped();
    return true;
}

} // namespace vistrel
