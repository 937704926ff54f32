#pragma once

#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vistrel {

struct FileIdentity;

// The decoded pictures the display holds or will want soon: the one on display, the one shown
// before it and those decoded ahead on worker threads, all counted against one memory budget.
//
// Tiles of a picture shown at its own size are requests for a region, held beside the rest.
// A picture is found for a request when it was decoded from the same, unchanged file (same
// inode, size and modification time) and is sharp enough for it: the picture's own size for a
// request at full size; for a reduced request, at least the size asked for (or the whole
// picture), and not wastefully larger. A failure is kept only for the very same request.
//
// The window's thread never waits on a decode without a bound, and destroying the cache never
// waits for a decode in progress: such a decode finishes on its own thread and is dropped.
class PictureCache
{
public:
    struct Request
    {
        Request() = default;
        Request(QByteArray path, QSize size = {}, QRect part = {})
            : nativePath(std::move(path)), atLeast(size), region(part)
        {}

        QByteArray nativePath;
        QSize atLeast; // empty: the picture at its own size
        // Not empty: only this part of the picture at its own size (a tile; see RegionDecoder).
        QRect region;
        bool operator==(const Request &other) const
        {
            return nativePath == other.nativePath && atLeast == other.atLeast &&
                   region == other.region;
        }
    };
    // Decodes a request; gives up (LoadedPicture::Cancelled) soon after `cancel` is set.
    using Decoder = std::function<LoadedPicture(const Request &, const std::atomic<bool> &cancel)>;

    // Two full 24-megapixel pictures; scaled ones are a few megabytes each.
    static constexpr qint64 defaultBudgetBytes = 192LL << 20;
    // Decodes of wanted pictures that run at once.
    static constexpr int parallelDecodes = 2;

    // The decoder is PictureLoader::load unless one is given (tests).
    explicit PictureCache(qint64 budgetBytes = defaultBudgetBytes, Decoder decoder = {});
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The decode (or failure) held for this request, if any, for a file whose identity the
    // caller took (off its own thread, as the file may not answer): decodes of an older state of
    // it are dropped, those from a look taken since are as good as the caller's. Never waits,
    // never decodes, touches no file.
    std::optional<LoadedPicture> find(const Request &request, const FileIdentity &known);
    // What to decode, most urgent first. Replaces the previous wish: work for anything else is
    // dropped, and decodes in progress for it are cancelled (one that does not stop at once
    // does not hold back the wanted ones).
    void want(std::vector<Request> requests);
    // Waits at most `timeout` for this request to be found.
    std::optional<LoadedPicture> waitFor(const Request &request, std::chrono::milliseconds timeout,
                                         const FileIdentity &known);
    // The picture on display: kept whatever the budget until another one is shown.
    void setShown(const Request &request);
    // Called on a worker thread after each decode is stored (or dropped); must only post work
    // to the thread that owns the receiver.
    void setOnDecoded(std::function<void()> callback);

    // Whether a decode of this file as a whole picture took so long on the processor (more than
    // costlyDecode) that it is not worth decoding ahead: it is decoded when it is shown.
    bool isCostly(const QByteArray &nativePath) const;
    static constexpr std::chrono::milliseconds costlyDecode{400};

    // For tests and benches: waits (at most `timeout`) until every wanted picture is decoded
    // or failed; how many finds were served; how many decodes began; bytes held.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    int hits() const;
    int decodes() const;
    qint64 bytesHeld() const;

private:
    class State;
    std::shared_ptr<State> m_state;
};

} // namespace vistrel
