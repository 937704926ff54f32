#pragma once

#include <QFrame>
#include <QImage>
#include <QList>
#include <QPair>

class QScrollBar;

namespace vistrel {

// The stretched display: draws its picture over its whole rectangle without keeping the aspect
// ratio. The smooth scaling to the current size is done once and kept until the size changes.
class StretchedImage : public QWidget
{
    Q_OBJECT

public:
    explicit StretchedImage(QWidget *parent = nullptr);
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    QImage m_scaled;
};

// The display at the picture's own size. Its position is kept in pixels with halves (a centred
// picture may sit at x.5); it is drawn at the whole pixel below. A picture too large to hold
// whole is given in pieces (blocks of tiles): only those near the view are held, and the rest is
// drawn from a reduced whole picture scaled up (the overview), or in the window colour until
// the overview comes.
class ActualPicture : public QWidget
{
    Q_OBJECT

public:
    explicit ActualPicture(QWidget *parent = nullptr);
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    // Shows a picture of this size in tiles, none held yet.
    void setTiled(const QSize &size);
    bool isTiled() const { return m_tiled; }
    // A piece of the picture at its place (any rectangle of whole tiles).
    void setTile(const QRect &place, const QImage &tile);
    // Whether a piece held covers this place.
    bool hasTile(const QRect &place) const;
    // Drops every piece that covers none of these places.
    void keepTiles(const QList<QRect> &places);
    // The whole picture reduced, drawn scaled up where no piece is held.
    void setOverview(const QImage &overview);
    bool hasOverview() const { return !m_overview.isNull(); }
    // The part of the picture the viewing area shows, in the picture's pixels.
    QRect visiblePart() const;
    double left() const { return m_left; }
    double top() const { return m_top; }
    // Relative to the inside of the viewing area.
    void setLeft(double left);
    void setTop(double top);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QImage m_picture;
    bool m_tiled = false;
    QList<QPair<QRect, QImage>> m_tiles;
    QImage m_overview;
    double m_left = 1;
    double m_top = 1;
};

// The viewing area (picContainer): holds the stretched display (Image1) and the actual-size one
// (Picture1). Its inner size is what every placement is measured against.
class PictureView : public QFrame
{
    Q_OBJECT

public:
    explicit PictureView(QWidget *parent = nullptr);

    StretchedImage *image1() const { return m_image1; }
    ActualPicture *picture1() const { return m_picture1; }
    QSize innerSize() const { return contentsRect().size(); }
    QPoint innerOrigin() const { return contentsRect().topLeft(); }
    // Lays Image1 over the whole inside.
    void fitImage1();
    // Hides and disables both displays.
    void hideDisplays();
    // Readies the display of the mode, scale to fit or actual size (at its first place), and
    // hides the other; the previous picture stays in it until the new one comes.
    void prepareFor(bool scaled);

private:
    StretchedImage *m_image1;
    ActualPicture *m_picture1;
};

// Places `picture`, showing a picture of `size` at its own size in a viewing area of `area`
// pixels, and sets the scroll bars for it (shown where it overhangs; hidden ones are left alone).
void placeActualPicture(ActualPicture *picture, const QSize &size, const QSize &area,
                        QScrollBar *hScroll, QScrollBar *vScroll);

} // namespace vistrel
