#pragma once

#include <QFrame>
#include <QImage>

namespace vistrel {

// The print preview's image of the sheet: a framed box holding a drawing that is kept between
// paints, so covering and uncovering the window never loses it. The drawing is made into
// canvas() after clear() sized it; the widget then shows exactly that.
class PaperImage : public QFrame
{
    Q_OBJECT
public:
    explicit PaperImage(QWidget *parent = nullptr);

    // Resizes the box so that its interior is the given size (device-independent pixels) and
    // erases the drawing to a blank white sheet.
    void clear(QSize interior);
    QImage &canvas() { return m_canvas; }
    const QImage &canvas() const { return m_canvas; }
    QSize interiorSize() const { return contentsRect().size(); }
    // A line shown over the sheet, never part of the page (the printer being looked up); empty
    // for none.
    void setNotice(const QString &notice);
    QString notice() const { return m_notice; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_canvas;
    QString m_notice;
};

} // namespace vistrel
