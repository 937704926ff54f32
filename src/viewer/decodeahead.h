#pragma once

// What the display decodes ahead while the user steps through the list, and how long it waits
// for a picture: arithmetic over list positions and times, and the requests it makes of them.

#include "viewer/picturecache.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <chrono>
#include <vector>

namespace vistrel {
namespace decodeahead {

// A display that begins this soon after the previous one ended is part of a held or fast-typed
// key.
constexpr qint64 fastStepMs = 200;
// How long the window's thread waits for a picture before the display goes pending: about a
// frame, so that a quick decode shows without an intermediate state and nothing ever freezes.
constexpr std::chrono::milliseconds quickWait(20);
// Pictures decoded ahead in the direction of travel: one (and only one at full size), or three
// while stepping fast through scaled pictures so that both decode threads keep busy. A display
// completed after its decode is taken as the end of the stepping.
constexpr int aheadSlow = 1;
constexpr int aheadFast = 3;

} // namespace decodeahead

// The direction of travel (+1 or -1) after the display moved from `last` to `index` in a list of
// `count` entries that wraps round: a step to the next entry is +1, to the one before -1; a jump,
// a first display (`last` -1) or nothing selected keeps `previous`.
int travelDirection(int last, int index, int count, int previous);

// The entries to decode ahead of `index`: the next `ahead` in the direction of travel, wrapping
// round as the slide show does, then, when `behindToo`, the one behind unless it is among them.
// None when nothing is selected or the list has a single entry.
std::vector<int> aheadIndices(int index, int count, int direction, int ahead, bool behindToo);

// How the user steps through the list: the direction of travel (+1 or -1), and whether a display
// began soon after the previous one ended (a held or fast-typed key), measured from that end so
// that a key that waited behind it counts as fast.
class Stepping
{
public:
    // A display of `index` in a list of `count` begins (-1: nothing selected).
    void begin(int index, int count);
    // The display begun last is done.
    void end() { m_sinceDisplay.start(); }
    int direction() const { return m_direction; }
    bool fast() const { return m_fast; }

private:
    int m_lastIndex = -1;
    int m_direction = 1;
    bool m_fast = false;
    QElapsedTimer m_sinceDisplay;
};

class ShownList;
// The decodes (at least `atLeast`, or at full size when invalid) of the entries aheadIndices
// gives for the list's selection; a file the cache found costly to decode is decoded only when
// it is shown.
std::vector<PictureCache::Request> neighbourRequests(const ShownList &list,
                                                     const PictureCache &cache, int direction,
                                                     const QSize &atLeast, int ahead,
                                                     bool behindToo);

} // namespace vistrel
