#include "viewer/decodeahead.h"

#include "viewer/shownlist.h"

#include <algorithm>

namespace vistrel {

int travelDirection(int last, int index, int count, int previous)
{
    if (last < 0 || index < 0 || count < 2)
        return previous;
    if (index == (last + 1) % count)
        return 1;
    if (index == (last + count - 1) % count)
        return -1;
    return previous;
}

std::vector<int> aheadIndices(int index, int count, int direction, int ahead, bool behindToo)
{
    std::vector<int> wanted;
    if (count < 2 || index < 0)
        return wanted;
    for (int step = 1; step <= ahead && step < count; ++step)
        wanted.push_back(((index + direction * step) % count + count) % count);
    const int behind = ((index - direction) % count + count) % count;
    if (behindToo && std::find(wanted.begin(), wanted.end(), behind) == wanted.end())
        wanted.push_back(behind);
    return wanted;
}

void Stepping::begin(int index, int count)
{
    if (index < 0)
        return;
    m_direction = travelDirection(m_lastIndex, index, count, m_direction);
    m_lastIndex = index;
    m_fast = m_sinceDisplay.isValid() && m_sinceDisplay.elapsed() < decodeahead::fastStepMs;
}

std::vector<PictureCache::Request> neighbourRequests(const ShownList &list,
                                                     const PictureCache &cache, int direction,
                                                     const QSize &atLeast, int ahead,
                                                     bool behindToo)
{
    std::vector<PictureCache::Request> wanted;
    for (const int i : aheadIndices(list.index(), list.count(), direction, ahead, behindToo)) {
        QByteArray path = list.nativePath(i);
        if (!cache.isCostly(path))
            wanted.push_back({std::move(path), atLeast});
    }
    return wanted;
}

} // namespace vistrel
