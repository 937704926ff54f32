#include "viewer/tiledpicture.h"

#include "viewer/picturegeometry.h"
#include "viewer/pictureheader.h"
#include "viewer/pictureview.h"

namespace vistrel {

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
    m_needed.clear();
    m_failed.clear();
    m_visibleCount = 0;
    m_damaged = false;
}

void TiledPicture::stop()
{
    start({}, {}, {});
}

PictureCache::Request TiledPicture::requestFor(const QRect &tile) const
{
    return {m_nativePath, QSize(), tile};
}

std::vector<PictureCache::Request> TiledPicture::update(ActualPicture *picture)
{
    std::vector<PictureCache::Request> wanted;
    if (!isActive())
        return wanted;
    const QRect visible = picture->visiblePart();
    m_visibleCount = int(tilesFor(visible, m_size, tileSide, 0).size());
    m_needed = tilesFor(visible, m_size, tileSide, ringTiles);
    picture->keepTiles(m_needed);
    for (const QRect &tile : std::as_const(m_needed))
        if (!picture->hasTile(tile) && !m_failed.contains(tile))
            wanted.push_back(requestFor(tile));
    return wanted;
}

bool TiledPicture::collect(PictureCache &cache, ActualPicture *picture)
{
    bool all = true;
    for (const QRect &tile : std::as_const(m_needed)) {
        if (picture->hasTile(tile) || m_failed.contains(tile))
            continue;
        const std::optional<LoadedPicture> found = cache.find(requestFor(tile), m_identity);
        if (!found) {
            all = false;
            continue;
        }
        if (found->ok()) {
            picture->setTile(tile, found->image);
            m_damaged = m_damaged || found->incomplete;
        } else if (found->error != LoadedPicture::Cancelled) {
            m_failed << tile;
            m_damaged = true;
        }
    }
    return all;
}

void TiledPicture::waitForVisible(PictureCache &cache, ActualPicture *picture,
                                  std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (int i = 0; i < m_visibleCount && i < m_needed.size(); ++i) {
        const QRect tile = m_needed[i];
        if (picture->hasTile(tile))
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !cache.waitFor(requestFor(tile), left, m_identity))
            break;
        collect(cache, picture);
    }
    collect(cache, picture);
}

} // namespace vistrel
