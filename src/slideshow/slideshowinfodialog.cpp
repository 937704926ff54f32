#include "slideshow/slideshowinfodialog.h"

#include "common/services.h"
#include "common/units.h"
#include "slideshow/slideinterval.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QStyle>

namespace vistrel {

namespace {

// The label's box is sized for a narrow 8 pt face; wider desktop fonts would cut the text off.
// Keep the user's family and shrink the size in half points until the text fits (not below 6).
void fitLabelFont(QLabel *label)
{
    QFont font = label->font();
    double points = font.pointSizeF();
    while (points > 6.0 &&
           QFontMetrics(font).horizontalAdvance(label->text()) > label->contentsRect().width()) {
        points -= 0.5;
        font.setPointSizeF(points);
    }
    label->setFont(font);
}

// The box is drawn up for two digits; it widens to the right, and the dialog with it, so that
// the largest interval it accepts shows whole.
int widenForLargestInterval(QLineEdit *box)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const int textMargin = 2; // the line edit's own room at each end of the text
    const int needed = box->fontMetrics().horizontalAdvance(QString::number(maxSlideInterval)) +
                       2 * (frame + textMargin) + 1;
    const int extra = qMax(0, needed - box->width());
    box->resize(box->width() + extra, box->height());
    return extra;
}

// The width the window manager's title bar needs for the whole caption: the interface font
// (a desktop sets its title bars' font with it), bold as title bars mostly draw it, beside the
// window's icon and its three buttons, each somewhat more than a line of that font square. The
// dialog is drawn up for a narrow 8 pt caption; it grows to the right, its controls in place.
int captionWidth(const QString &caption)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int decoration = metrics.height() + 12;
    return metrics.horizontalAdvance(caption) + 4 * decoration + 24;
}

} // namespace

SlideShowInfoDialog::SlideShowInfoDialog(int interval, QWidget *parent)
    : QDialog(parent), m_label(new QLabel(QStringLiteral("Enter Slide Show interval:"), this)),
      m_sldshowint(new QLineEdit(this)), m_btnok(new QPushButton(QStringLiteral("&Ok"), this)),
      m_command1(new QPushButton(QStringLiteral("&Cancel"), this)),
      m_interval(interval == 0 ? 10 : interval)
{
    setObjectName(QStringLiteral("frmslideshowinfo"));
    setWindowTitle(QStringLiteral("Slide Show Info"));
    setModal(true);
    setFixedSize(units::toPixels(2580), units::toPixels(1425));

    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setGeometry(units::toPixels(120, 120, 1935, 255));
    fitLabelFont(m_label);
    m_sldshowint->setObjectName(QStringLiteral("sldshowint"));
    m_sldshowint->setGeometry(units::toPixels(2160, 120, 375, 375));
    m_sldshowint->setText(QString::number(m_interval));
    const int widened = width() + widenForLargestInterval(m_sldshowint);
    setFixedSize(qMax(widened, captionWidth(windowTitle())), height());
    m_btnok->setObjectName(QStringLiteral("btnok"));
    m_btnok->setGeometry(units::toPixels(120, 600, 975, 735));
    m_btnok->setDefault(true);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(units::toPixels(1440, 600, 975, 735));

    m_label->setBuddy(m_sldshowint);
    setTabOrder(m_sldshowint, m_btnok);
    setTabOrder(m_btnok, m_command1);
    m_sldshowint->setFocus();

    connect(m_btnok, &QPushButton::clicked, this, &SlideShowInfoDialog::btnok_Click);
    connect(m_command1, &QPushButton::clicked, this, &SlideShowInfoDialog::Command1_Click);
}

bool SlideShowInfoDialog::ask(QWidget *parent, int &interval)
{
    SlideShowInfoDialog dialog(interval, parent);
    dialog.exec();
    interval = dialog.interval();
    return dialog.startRequested();
}

void SlideShowInfoDialog::btnok_Click()
{
    const IntervalEntry entry = readIntervalEntry(m_sldshowint->text());
    if (!entry.accepted) {
        // Stay open so the entry can be corrected, or the show given up with Cancel.
        prompter().critical(entry.reason, errorTitle());
        m_sldshowint->setFocus();
        m_sldshowint->selectAll();
        return;
    }
    m_interval = entry.seconds;
    m_start = true;
    accept();
}

void SlideShowInfoDialog::Command1_Click()
{
    // Cancel keeps what was typed, as long as it is an interval the show could run with.
    const IntervalEntry entry = readIntervalEntry(m_sldshowint->text());
    if (entry.accepted)
        m_interval = entry.seconds;
    m_start = false;
    reject();
}

} // namespace vistrel
