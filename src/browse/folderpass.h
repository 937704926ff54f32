#pragma once

#include "common/fileidentity.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <dirent.h>

#include <utility>
#include <vector>

namespace vistrel {

// One re-reading of a folder by the folder monitor, read a slice at a time on whichever thread
// reads the next slice (never two at once). The folder is opened by the first slice and closed
// when the last holder lets it go.
struct FolderPass
{
    FolderPass() = default;
    FolderPass(const FolderPass &) = delete;
    FolderPass &operator=(const FolderPass &) = delete;
    ~FolderPass();

    QString folder;
    DIR *dir = nullptr;
    bool opened = false;
    // A detailed re-reading: the pictures known when it began (name hashes), shared with the
    // caller until it changes its own.
    QHash<quint64, quint32> known;
};

// What one slice of a re-reading found.
struct PassSlice
{
    bool failed = false; // the folder could not be opened or read: the pass proves nothing
    bool ended = false;
    quint64 sum = 0; // a plain re-reading: the picture names' hashes, and their number
    qint64 count = 0;
    std::vector<quint64> seen;                              // a detailed one: pictures known
    std::vector<std::pair<QByteArray, FileIdentity>> found; // and regular pictures not known
    qint64 costNs = 0;                                      // processor time the slice took
};

// Reads on for one slice of at most about 8 ms (or `limit` entries, when above 0). A plain
// re-reading only adds up the picture names' hashes; a detailed one tells the pictures known
// seen again and the regular pictures neither known nor in `pending`, with their size and time.
PassSlice readPassSlice(FolderPass &pass, bool detailed, int limit,
                        const QSet<QByteArray> &pending);

// Processor time of the calling thread: what the work itself cost, however busy the machine.
qint64 threadCpuNs();

} // namespace vistrel
