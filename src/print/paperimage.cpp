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
    if (m_canvas.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_canvas);
}

} // namespace vistrel
