#pragma once

#include "browse/folderchanges.h"
#include "browse/folderlisting.h"
#include "browse/sortorder.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vistrel {

// What a fill or refill of the picture list reads from the folder shown and how it orders what
// it read, made on copies so that it can run off the window's thread: the window only takes the
// answer in. Exactly one source of names: a listing read beforehand, the whole folder read
// again, or only the files the change notices named.
struct RefillWork
{
    RefillWork(QString folder_, bool byDate_, std::optional<FolderNames> listing_ = {})
        : folder(std::move(folder_)), byDate(byDate_), listing(std::move(listing_))
    {}

    QString folder;
    bool byDate = false;
    std::optional<FolderNames> listing; // read beforehand: only ordered
    bool relists = true;                // false: listing is the one listed already
    bool notices = false;               // look only at changed
    std::vector<QByteArray> changed;    // the names the notices named
};

struct RefillAnswer
{
    // The folder's picture names (read again or given); with notices, those of the names changed
    // that are regular files now.
    FolderNames listing;
    // The names of listing that could be stamped, in order (by date or by name).
    std::vector<PictureEntry> ordered;
};

// The pictures in date order or in name order: the one choice between the two. The times are
// those of the names when read already, else every file's time is read.
std::vector<PictureEntry> orderPictures(const QString &folder, const std::vector<QByteArray> &names,
                                        bool byDate,
                                        const std::vector<std::int64_t> *mtimes = nullptr);

// A chosen folder as read off the window's thread (readFolder, then put in order): its listing
// in the order asked for, and its changes followed from before it was read.
struct FolderOpening
{
    FolderNames names;
    std::vector<PictureEntry> ordered;
    bool byDate = false;
    std::shared_ptr<FolderChanges> changes = std::make_shared<FolderChanges>();
};

// Reads and orders as work says; blocks as long as the folder takes to answer.
RefillAnswer readAndOrder(const RefillWork &work);

} // namespace vistrel
