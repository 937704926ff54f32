#include "viewer/tiledpicture.h"

#include "viewer/jpegregion.h"
#include "viewer/picturegeometry.h"
#include "viewer/pictureheader.h"
#include "viewer/pictureview.h"

#include <algorithm>
#include <utility>

namespace vistrel {
namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

} // namespace

bool TiledPicture::suits(const PictureHeader &header)
{
    return header.valid && header.byRegion &&
           qint64(header.size.width()) * header.size.height() * 4 >= tiledFromBytes;
}

void TiledPicture::start(const QByteArray &nativePath, const QSize &size,
                         const FileIdentity &identity)
{
    m_nativePath = nativePath;
    m_size = size;
    m_identity = identity;
    m_overview = nativePath.isEmpty()
                     ? PictureCache::Request()
                     : PictureCache::Request{nativePath, overviewSize(size, overviewPixels)};
    m_overviewHeld = false;
    m_overviewFault.reset();
    m_needed.clear();
    m_visible.clear();
    m_asked.clear();
    m_failed.clear();
    m_lastView = QRect();
    m_travel = QPoint();
    m_damaged = false;
}

void TiledPicture::stop()
{
    // The decoders kept positioned in the file are of no use for another picture, and hold it.
    if (isActive())
        dropKeptJpegDecoders();
    start({}, {}, {});
}

PictureCache::Request TiledPicture::requestFor(const QRect &block) const
{
    return {m_nativePath, QSize(), block};
}

bool TiledPicture::failed(const QRect &tile) const
{
    return std::any_of(m_failed.begin(), m_failed.end(),
                       [&](const QRect &f) { return f.contains(tile); });
}

bool TiledPicture::asked(const QRect &tile) const
{
    return std::any_of(m_asked.begin(), m_asked.end(),
                       [&](const QRect &b) { return b.contains(tile); });
}

std::vector<PictureCache::Request> TiledPicture::update(ActualPicture *picture)
{
    std::vector<PictureCache::Request> wanted;
    if (!isActive())
        return wanted;
    const QRect view = picture->visiblePart();
    if (m_lastView.isValid() && view.topLeft() != m_lastView.topLeft())
        m_travel = QPoint(sign(view.x() - m_lastView.x()), sign(view.y() - m_lastView.y()));
    m_lastView = view;
    m_visible = tilesFor(view, m_size, tileSide, 0);
    m_needed = tilesFor(view, m_size, tileSide, ringTiles);
    if (!m_travel.isNull()) {
        const QRect ahead = view.translated(m_travel.x() * view.width() * aheadViews,
                                            m_travel.y() * view.height() * aheadViews) |
                            view;
        for (const QRect &tile : tilesFor(ahead, m_size, tileSide, 0))
            if (!m_needed.contains(tile))
                m_needed << tile;
    }
    picture->keepTiles(m_needed);
    // A block still on its way keeps its place while any tile of it is needed: asking for it
    // again in other shapes would throw away the decode in progress.
    m_asked.erase(std::remove_if(m_asked.begin(), m_asked.end(),
                                 [&](const QRect &block) {
                                     return std::none_of(
                                         m_needed.begin(), m_needed.end(),
                                         [&](const QRect &t) { return block.contains(t); });
                                 }),
                  m_asked.end());
    QList<QRect> inView, around;
    for (const QRect &tile : std::as_const(m_needed))
        if (!picture->hasTile(tile) && !failed(tile) && !asked(tile))
            (m_visible.contains(tile) ? inView : around) << tile;
    m_asked << tileBlocks(inView) << tileBlocks(around);

    if (!m_overviewHeld)
        wanted.push_back(m_overview);
    // What is in view first, then the rest in the order asked.
    for (const bool seen : {true, false})
        for (const QRect &block : std::as_const(m_asked)) {
            const bool shows = std::any_of(m_visible.begin(), m_visible.end(),
                                           [&](const QRect &t) { return block.contains(t); });
            if (shows == seen)
                wanted.push_back(requestFor(block));
        }
    return wanted;
}

void TiledPicture::request(PictureCache &cache, ActualPicture *picture,
                           std::vector<PictureCache::Request> after)
{
    std::vector<PictureCache::Request> wanted = update(picture);
    for (PictureCache::Request &r : after)
        wanted.push_back(std::move(r));
    cache.want(std::move(wanted));
    collect(cache, picture);
}

bool TiledPicture::collect(PictureCache &cache, ActualPicture *picture)
{
    if (!m_overviewHeld && isActive()) {
        if (const std::optional<LoadedPicture> found = cache.find(m_overview, m_identity)) {
            // A failed overview leaves the window colour under the tiles still to come.
            m_overviewHeld = true;
            if (found->ok())
                picture->setOverview(found->image);
            // An overview refused for its memory says nothing of the file: the tiles show it.
            const bool fileFault = !found->ok() && found->error != LoadedPicture::Cancelled &&
                                   found->error != LoadedPicture::OutOfMemory;
            if (fileFault || found->incomplete)
                m_overviewFault = found;
        }
    }
    for (auto it = m_asked.begin(); it != m_asked.end();) {
        const std::optional<LoadedPicture> found = cache.find(requestFor(*it), m_identity);
        if (!found || found->error == LoadedPicture::Cancelled) {
            ++it;
            continue;
        }
        if (found->ok()) {
            picture->setTile(*it, found->image);
            m_damaged = m_damaged || found->incomplete;
        } else {
            m_failed << *it;
            m_damaged = true;
        }
        it = m_asked.erase(it);
    }
    return std::all_of(m_needed.begin(), m_needed.end(),
                       [&](const QRect &tile) { return picture->hasTile(tile) || failed(tile); });
}

std::optional<LoadedPicture> TiledPicture::takeOverviewFault()
{
    return std::exchange(m_overviewFault, std::nullopt);
}

void TiledPicture::waitForVisible(PictureCache &cache, ActualPicture *picture,
                                  std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto inView = [&] {
        return std::all_of(m_visible.begin(), m_visible.end(), [&](const QRect &tile) {
            return picture->hasTile(tile) || failed(tile);
        });
    };
    while (!inView() && isActive()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto first = std::find_if(m_asked.begin(), m_asked.end(), [&](const QRect &b) {
            return std::any_of(m_visible.begin(), m_visible.end(),
                               [&](const QRect &t) { return b.contains(t); });
        });
        if (left.count() <= 0 || first == m_asked.end() ||
            !cache.waitFor(requestFor(*first), left, m_identity))
            break;
        collect(cache, picture);
    }
    collect(cache, picture);
}

} // namespace vistrel
