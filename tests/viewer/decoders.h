#pragma once

// Decoders put in place of the real one, to make a decode slow or to count decodes.

#include "viewer/picturecache.h"
#include "viewer/regiondecoder.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vistrel::test {

// Holds every decode until it is let go, as a slow or hostile file would, ignoring the cancel
// flag (a decode stuck where it is not looked at); counts the decodes begun and those that were
// told to give up.
struct HeldDecoder
{
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        std::atomic<int> started{0};
        std::atomic<int> cancelSeen{0};
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    PictureCache::Decoder decoder() const
    {
        return [g = gate](const PictureCache::Request &r, const std::atomic<bool> &cancel) {
            ++g->started;
            std::unique_lock<std::mutex> lock(g->mutex);
            g->opened.wait(lock, [&] { return g->open; });
            if (cancel)
                ++g->cancelSeen;
            return PictureLoader::load(r.nativePath, r.atLeast);
        };
    }
    void release() const
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
        gate->opened.notify_all();
    }
};

// The real decoder, counting its decodes.
inline PictureCache::Decoder countingDecoder(std::shared_ptr<std::atomic<int>> count)
{
    return [count](const PictureCache::Request &r, const std::atomic<bool> &) {
        ++*count;
        return PictureLoader::load(r.nativePath, r.atLeast);
    };
}

// The real decoder for regions; a whole picture, however reduced, is refused for its memory, as
// on a machine short of it.
inline PictureCache::Decoder regionsOnlyDecoder()
{
    return [](const PictureCache::Request &r, const std::atomic<bool> &cancel) {
        if (r.region.isEmpty()) {
            LoadedPicture refused;
            refused.error = LoadedPicture::OutOfMemory;
            refused.reason = QStringLiteral("more than one picture may use");
            return refused;
        }
        LoadLimits limits;
        limits.cancel = &cancel;
        return RegionDecoder::decode(r.nativePath, r.region, limits);
    };
}

} // namespace vistrel::test
