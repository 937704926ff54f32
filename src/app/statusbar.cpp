#include "app/statusbar.h"

#include "app/clockformat.h"
#include "app/lockindicators.h"
#include "app/mainlayout.h"

#include <QDateTime>
#include <QLabel>

namespace vistrel {
namespace {

QLabel *makePanel(QWidget *parent, const QString &text, double widthTwips, double minimumTwips)
{
    auto *label = new QLabel(text, parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(int(layout::toPixels(minimumTwips)));
    label->resize(int(layout::toPixels(widthTwips)), label->sizeHint().height());
    return label;
}

} // namespace

MainStatusBar::MainStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(true);
    m_panels[0] = makePanel(this, QStringLiteral("Status"), 7875, 1800);
    m_panels[1] = makePanel(this, QStringLiteral("CAPS"), 510, 200);
    m_panels[2] = makePanel(this, QStringLiteral("NUM"), 465, 200);
    m_panels[3] = makePanel(this, QStringLiteral("Date/time"), 1800, 1800);
    m_panels[1]->setAlignment(Qt::AlignCenter);
    m_panels[2]->setAlignment(Qt::AlignCenter);
    m_panels[3]->setToolTip(QStringLiteral("Date/Time"));
    addWidget(m_panels[0], 1);
    for (int i = 1; i < 4; ++i)
        addPermanentWidget(m_panels[i]);

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

void MainStatusBar::setPanelText(int index, const QString &text)
{
    if (QLabel *label = panel(index))
        label->setText(text);
}

QString MainStatusBar::panelText(int index) const
{
    const QLabel *label = panel(index);
    return label ? label->text() : QString();
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
