#pragma once

#include "viewer/filelook.h"
#include "viewer/picturecache.h"

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <chrono>
#include <optional>
#include <vector>

namespace vistrel {

class ActualPicture;
struct PictureHeader;

// A picture shown at its own size that is too large to hold whole: only the tiles near the view
// are decoded (by region, on the picture cache's workers, within its one budget) and held by the
// display, over a reduced whole picture (the overview) drawn scaled up wherever a tile has not
// come yet, so the view is never blank where the picture is. Tiles that touch are asked for as
// one block, decoded in one pass; the view, a ring around it and the next views in the direction
// of travel are asked for. Scrolling asks and never waits nor touches the file.
class TiledPicture
{
public:
    // Sides of a tile, in pixels, and the ring of tiles decoded ahead around the view.
    static constexpr int tileSide = 512;
    static constexpr int ringTiles = 1;
    // Views decoded ahead in the direction of travel (a page step moves one view).
    static constexpr int aheadViews = 2;
    // From this many bytes of decoded picture on, a picture that can be read by region is.
    static constexpr qint64 tiledFromBytes = 100LL << 20;
    // The overview's pixels at most.
    static constexpr qint64 overviewPixels = 4LL << 20;

    static bool suits(const PictureHeader &header);

    bool isActive() const { return !m_nativePath.isEmpty(); }
    const QByteArray &nativePath() const { return m_nativePath; }
    // `identity` is the file's as the display looked at it: the tiles are taken from decodes of
    // that state of the file or a newer one, and nothing asks the file again.
    void start(const QByteArray &nativePath, const QSize &size, const FileIdentity &identity);
    void stop();

    // The requests the view of `picture` needs now, most urgent first (the overview until it
    // is held, the blocks of tiles in view, then those around and ahead); drops the tiles it no
    // longer needs.
    std::vector<PictureCache::Request> update(ActualPicture *picture);
    // Asks the cache for what update() gives, then for `after`, and collects what it holds.
    void request(PictureCache &cache, ActualPicture *picture,
                 std::vector<PictureCache::Request> after);
    // Gives the picture every needed block (and the overview) the cache holds; true when all
    // the tiles needed are held. A block that failed is left to the overview and counted as held.
    bool collect(PictureCache &cache, ActualPicture *picture);
    // Waits (at most `timeout` in all) for the tiles now in view, or at least the overview.
    void waitForVisible(PictureCache &cache, ActualPicture *picture,
                        std::chrono::milliseconds timeout);
    // Whether a tile failed or came out incomplete.
    bool damaged() const { return m_damaged; }
    // The overview's decode, once, when it failed for its file (not for memory) or its data
    // ended early: the reduced whole picture tells of the file as a decode at its own size would.
    std::optional<LoadedPicture> takeOverviewFault();

private:
    PictureCache::Request requestFor(const QRect &block) const;
    bool failed(const QRect &tile) const;
    bool asked(const QRect &tile) const;

    QByteArray m_nativePath;
    QSize m_size;
    FileIdentity m_identity;
    PictureCache::Request m_overview;
    bool m_overviewHeld = false;
    std::optional<LoadedPicture> m_overviewFault; // not taken yet
    QList<QRect> m_needed;
    QList<QRect> m_visible;
    // Blocks asked for and not yet taken, in the order asked.
    QList<QRect> m_asked;
    QList<QRect> m_failed;
    // The view last asked for, and the way it last moved (-1, 0 or 1 each way).
    QRect m_lastView;
    QPoint m_travel;
    bool m_damaged = false;
};

} // namespace vistrel
