#include "app/statusbar.h"

#include "app/clockformat.h"
#include "app/lockindicators.h"
#include "app/mainlayout.h"
#include "common/units.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>

namespace vistrel {
namespace {

// Panel widths and minimum widths, in twips, by 1-based index.
struct PanelWidth
{
    double width;
    double minimum;
};
constexpr PanelWidth panelWidths[4] = {{7875, 1800}, {510, 200}, {465, 200}, {1800, 1800}};

QLabel *makePanel(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

// Room between the panels, and at the right end for the size grip.
constexpr int panelGap = 2;

// The widest text the clock can show in this font: both forms, every month's name, morning and
// afternoon. Measured once, so that the panel keeps one width whatever the time.
int widestClockText(const QFontMetrics &metrics)
{
    int widest = 0;
    for (int month = 1; month <= 12; ++month) {
        for (int hour : {10, 22}) {
            const QDateTime when(QDate(2028, month, 28), QTime(hour, 58, 58));
            widest = qMax(widest, metrics.horizontalAdvance(loadClockText(when)));
            widest =
                qMax(widest, metrics.horizontalAdvance(tickClockText(when.date(), when.time())));
        }
    }
    return widest;
}

} // namespace

MainStatusBar::MainStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(true);
    // The panels are placed here rather than by the bar's own layout, which would add room above
    // and below them and let a panel grow with its text: the bar keeps the window's design
    // height (as long as the font fits it), and each panel its width whatever text it holds.
    m_texts[0] = QStringLiteral("Status");
    m_texts[1] = QStringLiteral("CAPS");
    m_texts[2] = QStringLiteral("NUM");
    m_texts[3] = QStringLiteral("Date/time");
    for (int i = 0; i < 4; ++i)
        m_panels[i] = makePanel(this, m_texts[i]);
    m_panels[1]->setAlignment(Qt::AlignCenter);
    m_panels[2]->setAlignment(Qt::AlignCenter);
    m_panels[3]->setToolTip(QStringLiteral("Date/Time"));
    const int frame = 2 * m_panels[0]->frameWidth();
    setFixedHeight(qMax(units::toPixels(layout::statusBarHeight),
                        m_panels[0]->fontMetrics().height() + frame + 2));
    // Each panel keeps its design width, widened once where this font's text would not fit it.
    // Panel 1 takes the room the others leave.
    m_widths[0] = units::toPixels(panelWidths[0].minimum);
    for (int i = 1; i < 4; ++i)
        m_widths[i] = units::toPixels(panelWidths[i].width);
    m_widths[1] = qMax(m_widths[1], m_panels[1]->sizeHint().width());
    m_widths[2] = qMax(m_widths[2], m_panels[2]->sizeHint().width());
    m_widths[3] = qMax(m_widths[3], widestClockText(m_panels[3]->fontMetrics()) + frame + 6);

    m_locks = new LockIndicators(this);
    updateLockPanels();
    connect(m_locks, &LockIndicators::changed, this, &MainStatusBar::updateLockPanels);

    m_datetime.setInterval(clockIntervalMs);
    connect(&m_datetime, &QTimer::timeout, this, &MainStatusBar::datetimeTick);
    m_datetime.start();
}

MainStatusBar::~MainStatusBar() = default;

QLabel *MainStatusBar::panel(int index) const
{
    return index >= 1 && index <= 4 ? m_panels[index - 1] : nullptr;
}

void MainStatusBar::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    placePanels();
}

void MainStatusBar::placePanels()
{
    // Panels 2 to 4 keep their widths at the right; panel 1 takes what is left, but never less
    // than its minimum (the others then run off the right edge, as on a too narrow window).
    const int grip =
        isSizeGripEnabled() ? style()->pixelMetric(QStyle::PM_SizeGripSize, nullptr, this) : 0;
    int fixed = 0;
    for (int i = 1; i < 4; ++i)
        fixed += m_widths[i] + panelGap;
    const int first = qMax(m_widths[0], width() - grip - panelGap - fixed);
    const int top = 1;
    const int h = height() - 2;
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        const int w = i == 0 ? first : m_widths[i];
        m_panels[i]->setGeometry(x, top, w, h);
        x += w + panelGap;
    }
    showPanelText(1);
}

void MainStatusBar::setPanelText(int index, const QString &text)
{
    if (!panel(index))
        return;
    m_texts[index - 1] = text;
    showPanelText(index);
}

QString MainStatusBar::panelText(int index) const
{
    return panel(index) ? m_texts[index - 1] : QString();
}

void MainStatusBar::showPanelText(int index)
{
    QLabel *label = m_panels[index - 1];
    const QString &text = m_texts[index - 1];
    if (index != 1) { // the others are as wide as their texts need
        label->setText(text);
        return;
    }
    const QString shown = elided(text, label->fontMetrics(), label->contentsRect().width());
    label->setText(shown);
    const bool whole = shown == text;
    label->setToolTip(whole ? QString() : text);
    label->setAccessibleName(whole ? QString() : text);
}

QString MainStatusBar::elided(const QString &text, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype first = text.indexOf(QLatin1Char('/'));
    if (first >= 0) {
        const qsizetype last = text.lastIndexOf(QLatin1Char('/'));
        qsizetype end = text.indexOf(QLatin1Char(' '), last);
        if (end < 0)
            end = text.size();
        // The sentence's own stop, semicolon or ellipsis after the name stays with the verdict.
        static const QString stops = QStringLiteral(".,;:…");
        while (end > last + 1 && stops.contains(text.at(end - 1)))
            --end;
        const QString head = text.left(first);
        const QString tail = text.mid(end);
        const int room = width - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(tail);
        if (room >= metrics.horizontalAdvance(QStringLiteral("/…/")))
            return head + metrics.elidedText(text.mid(first, end - first), Qt::ElideMiddle, room) +
                   tail;
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

void MainStatusBar::datetimeTick()
{
    // Date and time are read separately, as two readings of the clock.
    const QDate date = QDate::currentDate();
    const QTime time = QTime::currentTime();
    setPanelText(4, tickClockText(date, time));
}

void MainStatusBar::updateLockPanels()
{
    m_panels[1]->setEnabled(m_locks->capsLock());
    m_panels[2]->setEnabled(m_locks->numLock());
}

} // namespace vistrel
