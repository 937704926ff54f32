#include "print/paperimage.h"

#include <QPainter>

namespace vistrel {

namespace {
// 96 pixels per inch: the canvas measures fonts as the screen does.
constexpr int dotsPerMeter96 = 3780;
} // namespace

PaperImage::PaperImage(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::StrongFocus);
    // A stop in the keyboard order of the window, so it says what it shows.
    setAccessibleName(QStringLiteral("Preview of the printed page"));
}

void PaperImage::setNotice(const QString &notice)
{
    if (notice == m_notice)
        return;
    m_notice = notice;
    setAccessibleDescription(notice);
    update();
}

void PaperImage::clear(QSize interior)
{
    const int frame = frameWidth();
    setFixedSize(interior + QSize(2 * frame, 2 * frame));
    const qreal ratio = devicePixelRatioF();
    m_canvas = QImage(interior * ratio, QImage::Format_RGB32);
    m_canvas.setDevicePixelRatio(ratio);
    m_canvas.setDotsPerMeterX(dotsPerMeter96);
    m_canvas.setDotsPerMeterY(dotsPerMeter96);
    m_canvas.fill(Qt::white);
    update();
}

void PaperImage::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (!m_canvas.isNull())
        painter.drawImage(contentsRect().topLeft(), m_canvas);
    if (m_notice.isEmpty())
        return;
    // Across the top of the sheet, wrapped to its width, on the window's own colours.
    const QRect area = contentsRect().adjusted(4, 4, -4, -4);
    QRect text =
        painter.fontMetrics().boundingRect(area, Qt::TextWordWrap | Qt::AlignHCenter, m_notice);
    text = QRect(area.left(), area.top(), area.width(), text.height() + 8);
    painter.fillRect(text, palette().toolTipBase());
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(text.adjusted(4, 4, -4, -4), Qt::TextWordWrap | Qt::AlignHCenter, m_notice);
}

} // namespace vistrel
