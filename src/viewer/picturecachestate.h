#pragma once

#include "viewer/filelook.h"
#include "viewer/picturecache.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

namespace vistrel {

// What the picture cache holds, wants and is decoding. Its worker threads share it with the
// cache and may outlive the cache: a decode that takes long finishes and is dropped. Everything
// it holds is private behind the operations the cache calls, each under its mutex.
class PictureCache::State
{
public:
    State(qint64 budgetBytes, Decoder decode);

    // The cache is going: running decodes are told to give up, nothing more is wanted or held,
    // and the workers end once they are done.
    void shutdown();
    // A held decode of the request, dropping decodes of an older state of the file than `known`.
    std::optional<LoadedPicture> find(const Request &r, const FileIdentity &known,
                                      const std::shared_ptr<State> &self);
    bool isCostly(const QByteArray &nativePath) const;
    void want(std::vector<Request> requests, const std::shared_ptr<State> &self);
    // Waits until a decode that would do for the request is held; false at the deadline.
    bool waitStored(const Request &r, std::chrono::steady_clock::time_point deadline);
    void setShown(const Request &r);
    void setOnDecoded(std::function<void()> callback);
    bool waitIdle(std::chrono::milliseconds timeout);
    int hits() const;
    int decodes() const;
    qint64 bytesHeld() const;

private:
    struct Entry
    {
        Request request;
        FileIdentity identity;
        LoadedPicture picture;
        qint64 bytes = 0;
        quint64 used = 0;
    };
    struct Running
    {
        Request request;
        qint64 estimate = 0;
        std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
        std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
        clockid_t processorClock = CLOCK_THREAD_CPUTIME_ID; // of the thread decoding it
    };

    mutable std::mutex mutex;
    std::condition_variable wake;   // workers: there may be work
    std::condition_variable stored; // waiters: a decode has been stored
    qint64 budget = 0;
    Decoder decoder;
    std::function<void()> onDecoded;
    std::vector<Request> wanted;
    std::vector<Request> skipped; // wanted, but no room for it beside what is worth more
    std::vector<Running> running;
    std::vector<Entry> entries;
    std::optional<Request> shown;
    std::vector<QByteArray> costly; // the files of the most recent costly decodes, oldest first
    int threads = 0;
    int idleThreads = 0;
    bool watchingStalls = false; // a look at the decodes that may be stuck is due
    bool stop = false;
    quint64 clock = 0;
    int hitCount = 0;
    int decodeCount = 0;

    // All below run with the mutex held.

    static bool sharpEnough(const Entry &e, const Request &r);

    // The best entry for the request, whatever its file's identity: the smallest picture sharp
    // enough, else a failure of the very same request.
    int bestEntry(const Request &r) const;

    static bool contains(const std::vector<Request> &list, const Request &r);

    bool isRunning(const Request &r) const;

    // Decodes in progress for wanted pictures that have not been told to give up.
    int wantedRunning() const;

    // The most wanted picture never waits for work ahead: when every decode slot is taken,
    // the one for the picture furthest down the wish gives up its place.
    void makeRoomForFirst();

    std::optional<Request> nextJob() const;

    // Lower is worth more: the picture shown, then the wanted ones in order, then the spares
    // (neither shown nor wanted) by how recently they were used.
    static constexpr quint64 spareRank = 1000000;
    quint64 rank(const Entry &e) const;

    qint64 heldBytes() const;

    // Bytes held by entries worth at least as much as rank `limit`, and expected from decodes
    // in progress.
    qint64 committedBytes(quint64 limit) const;

    quint64 rankOfRequest(const Request &r) const;

    // Adds a decode, making room by dropping what is worth less; a decode worth less than all
    // that is held is dropped itself, unless it is the most wanted one.
    void store(Entry entry);

    // Keeps only the most recently used of the pictures neither shown nor wanted.
    void dropSpares();

    // Remembers (or forgets) that decoding this request's file as a whole costs much.
    void noteCost(const Request &r, std::chrono::nanoseconds processorTime);

    void startThreadIfNeeded(const std::shared_ptr<State> &self);

    // Decodes that have waited for a while without using the processor: stuck in the kernel on
    // a file of a mount that does not answer, where no cancel flag is looked at. Their threads
    // do not count against the bound, or a few such files would stop every later decode.
    static bool isStalled(const Running &x, std::chrono::steady_clock::time_point now);
    int stalledDecodes() const;
    // When the bound holds work back behind decodes too young to be judged, looks again once
    // they are old enough.
    void watchForStalls(const std::shared_ptr<State> &self);

    static void work(const std::shared_ptr<State> &s);
};

} // namespace vistrel
