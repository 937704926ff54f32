#pragma once

#include "viewer/filelook.h"
#include "viewer/picturecache.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

#include <chrono>
#include <vector>

namespace vistrel {

class ActualPicture;
struct PictureHeader;

// A picture shown at its own size that is too large to hold whole: only the tiles near the view
// are decoded (by region, on the picture cache's workers, within its one budget) and held by the
// display. Scrolling asks for the tiles of the new view and a ring around it, and never waits
// nor touches the file.
class TiledPicture
{
public:
    // Sides of a tile, in pixels, and the ring of tiles decoded ahead around the view.
    static constexpr int tileSide = 512;
    static constexpr int ringTiles = 1;
    // From this many bytes of decoded picture on, a picture that can be read by region is.
    static constexpr qint64 tiledFromBytes = 100LL << 20;

    static bool suits(const PictureHeader &header);

    bool isActive() const { return !m_nativePath.isEmpty(); }
    const QByteArray &nativePath() const { return m_nativePath; }
    // `identity` is the file's as the display looked at it: the tiles are taken from decodes of
    // that state of the file or a newer one, and nothing asks the file again.
    void start(const QByteArray &nativePath, const QSize &size, const FileIdentity &identity);
    void stop();

    // The tiles the view of `picture` needs now, and requests for those it does not hold yet,
    // most urgent first; drops the tiles it no longer needs.
    std::vector<PictureCache::Request> update(ActualPicture *picture);
    // Gives the picture every needed tile the cache holds; true when all of them are held.
    // A tile that failed is left in the window colour and counted as held.
    bool collect(PictureCache &cache, ActualPicture *picture);
    // Waits (at most `timeout` in all) for the tiles now in view; for the first display.
    void waitForVisible(PictureCache &cache, ActualPicture *picture,
                        std::chrono::milliseconds timeout);
    // Whether a tile failed or came out incomplete.
    bool damaged() const { return m_damaged; }

private:
    PictureCache::Request requestFor(const QRect &tile) const;

    QByteArray m_nativePath;
    QSize m_size;
    FileIdentity m_identity;
    QList<QRect> m_needed;
    int m_visibleCount = 0;
    QList<QRect> m_failed;
    bool m_damaged = false;
};

} // namespace vistrel
