#include "viewer/pictureview.h"

#include "viewer/picturegeometry.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace vistrel {
namespace {

// These widgets paint every pixel themselves: a picture with transparent parts is laid on the
// window colour, so that nothing shown before shows through; so is a display without a picture.
void paintOver(QPainter &painter, const QRect &rect, const QImage &picture, const QPalette &palette)
{
    if (picture.isNull() || picture.hasAlphaChannel())
        painter.fillRect(rect, palette.window());
    painter.drawImage(rect, picture, rect);
}

} // namespace

StretchedImage::StretchedImage(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StretchedImage::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_scaled = QImage();
    update();
}

void StretchedImage::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(event->rect(), palette().window());
        return;
    }
    if (m_scaled.size() != size())
        m_scaled = m_picture.size() == size()
                       ? m_picture
                       : m_picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    paintOver(painter, event->rect(), m_scaled, palette());
}

ActualPicture::ActualPicture(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void ActualPicture::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_tiled = false;
    m_tiles.clear();
    m_overview = QImage();
    resize(picture.size());
    update();
}

void ActualPicture::setTiled(const QSize &size)
{
    m_picture = QImage();
    m_tiled = true;
    m_tiles.clear();
    m_overview = QImage();
    resize(size);
    update();
}

void ActualPicture::setTile(const QRect &place, const QImage &tile)
{
    m_tiles.append({place, tile});
    update(place);
}

bool ActualPicture::hasTile(const QRect &place) const
{
    return std::any_of(m_tiles.begin(), m_tiles.end(),
                       [&](const auto &piece) { return piece.first.contains(place); });
}

void ActualPicture::keepTiles(const QList<QRect> &places)
{
    m_tiles.erase(std::remove_if(m_tiles.begin(), m_tiles.end(),
                                 [&](const auto &piece) {
                                     return std::none_of(
                                         places.begin(), places.end(),
                                         [&](const QRect &r) { return piece.first.intersects(r); });
                                 }),
                  m_tiles.end());
}

void ActualPicture::setOverview(const QImage &overview)
{
    m_overview = overview;
    update();
}

QRect ActualPicture::visiblePart() const
{
    const auto *view = qobject_cast<PictureView *>(parentWidget());
    if (!view)
        return rect();
    return QRect(view->contentsRect().topLeft() - pos(), view->innerSize()) & rect();
}

void ActualPicture::setLeft(double left)
{
    m_left = left;
    place();
}

void ActualPicture::setTop(double top)
{
    m_top = top;
    place();
}

void ActualPicture::place()
{
    QPoint origin;
    if (auto *view = qobject_cast<PictureView *>(parentWidget()))
        origin = view->innerOrigin();
    move(origin + QPoint(int(std::floor(m_left)), int(std::floor(m_top))));
}

void ActualPicture::paintEvent(QPaintEvent *event)
{
    // Only the exposed part: a large picture is mostly outside the viewing area.
    QPainter painter(this);
    if (!m_tiled) {
        paintOver(painter, event->rect(), m_picture, palette());
        return;
    }
    // Where no piece is held yet, the overview scaled up; the pieces over it.
    QRegion uncovered(event->rect());
    for (const auto &piece : std::as_const(m_tiles))
        uncovered -= piece.first;
    if (m_overview.isNull()) {
        for (const QRect &r : uncovered)
            painter.fillRect(r, palette().window());
    } else {
        const double fx = double(m_overview.width()) / qMax(1, width());
        const double fy = double(m_overview.height()) / qMax(1, height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const QRect &r : uncovered)
            painter.drawImage(QRectF(r), m_overview,
                              QRectF(r.x() * fx, r.y() * fy, r.width() * fx, r.height() * fy));
    }
    for (const auto &piece : std::as_const(m_tiles)) {
        const QRect part = piece.first & event->rect();
        if (!part.isEmpty())
            painter.drawImage(part.topLeft(), piece.second,
                              part.translated(-piece.first.topLeft()));
    }
}

PictureView::PictureView(QWidget *parent)
    : QFrame(parent), m_image1(new StretchedImage(this)), m_picture1(new ActualPicture(this))
{
    setObjectName(QStringLiteral("picContainer"));
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::ClickFocus);
    m_image1->hide();
    m_picture1->hide();
    fitImage1();
}

void PictureView::fitImage1()
{
    m_image1->setGeometry(contentsRect());
}

void PictureView::hideDisplays()
{
    m_image1->setEnabled(false);
    m_image1->hide();
    m_picture1->hide();
    m_picture1->setEnabled(false);
}

void PictureView::prepareFor(bool scaled)
{
    if (scaled) {
        m_picture1->hide();
        m_image1->setEnabled(true);
        m_image1->show();
        return;
    }
    m_image1->hide();
    m_picture1->show();
    m_picture1->setEnabled(true);
    m_picture1->setLeft(1);
    m_picture1->setTop(1);
}

void placeActualPicture(ActualPicture *picture, const QSize &size, const QSize &area,
                        QScrollBar *hScroll, QScrollBar *vScroll)
{
    const ActualPlacement place = placeActualSize(size, area);
    picture->setLeft(place.left);
    picture->setTop(place.top);
    // The bars keep their values between pictures (a shorter range clamps them) and the new
    // picture is shown where they say, so that the thumbs and the picture always agree; at 0
    // it keeps its place one pixel in.
    if (place.horizontalBar) {
        const QSignalBlocker block(hScroll);
        hScroll->setRange(0, place.horizontalMax);
        hScroll->setPageStep(qMax(1, area.width()));
        hScroll->show();
        if (hScroll->value() > 0)
            picture->setLeft(scrollPosition(hScroll->value()));
    }
    if (place.verticalBar) {
        const QSignalBlocker block(vScroll);
        vScroll->setRange(0, place.verticalMax);
        vScroll->setPageStep(qMax(1, area.height()));
        vScroll->show();
        if (vScroll->value() > 0)
            picture->setTop(scrollPosition(vScroll->value()));
    }
}

} // namespace vistrel
