#include "viewer/pictureview.h"

#include <QPaintEvent>
#include <QPainter>

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
    resize(picture.size());
    update();
}

void ActualPicture::setTiled(const QSize &size)
{
    m_picture = QImage();
    m_tiled = true;
    m_tiles.clear();
    resize(size);
    update();
}

void ActualPicture::setTile(const QRect &place, const QImage &tile)
{
    m_tiles.insert(place.topLeft(), tile);
    update(place);
}

void ActualPicture::keepTiles(const QList<QRect> &places)
{
    QHash<QPoint, QImage> kept;
    for (const QRect &r : places)
        if (const auto it = m_tiles.constFind(r.topLeft()); it != m_tiles.constEnd())
            kept.insert(it.key(), it.value());
    m_tiles.swap(kept);
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
    painter.fillRect(event->rect(), palette().window());
    for (auto it = m_tiles.constBegin(); it != m_tiles.constEnd(); ++it) {
        const QRect place(it.key(), it.value().size());
        const QRect part = place & event->rect();
        if (!part.isEmpty())
            painter.drawImage(part.topLeft(), it.value(), part.translated(-place.topLeft()));
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

} // namespace vistrel
