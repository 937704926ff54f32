#pragma once

// What the display decodes ahead while the user steps through the list, and how long it waits
// for a picture: plain arithmetic over list positions and times.

#include <QtGlobal>

#include <chrono>
#include <vector>

namespace vistrel {
namespace decodeahead {

// A display that begins this soon after the previous one ended is part of a held or fast-typed
// key.
constexpr qint64 fastStepMs = 200;
// Files from this size on take longer to decode than a held key's repeat interval.
constexpr qint64 slowDecodeBytes = 1 << 20;
// How long a display waits for its picture: stepping fast through large files, less than a key
// repeat; otherwise long enough for any ordinary picture, yet bounded.
constexpr std::chrono::milliseconds quickWait(20);
constexpr std::chrono::milliseconds fullWait(1000);
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

} // namespace vistrel
