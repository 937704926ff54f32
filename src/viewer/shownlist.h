#pragma once

#include "viewer/filelook.h"

#include <QByteArray>
#include <QString>

namespace vistrel {

struct LoadedPicture;

// What the picture display needs of the list it shows: the selected entry, the entries' files,
// and the list's owner taking over when the selected file cannot be shown. The display knows
// nothing else of where the list comes from.
class ShownList
{
public:
    virtual ~ShownList() = default;
    // The selected entry, -1 when none; selecting -1 selects nothing.
    virtual int index() const = 0;
    virtual void setIndex(int index) = 0;
    virtual int count() const = 0;
    // The entry's file as the path label shows it, and as bytes for opening; empty when there is
    // no such entry.
    virtual QString path(int index) const = 0;
    virtual QByteArray nativePath(int index) const = 0;
    // Remembers the entry on display, which a refill of the same folder selects again.
    virtual void setCurslide(int index) = 0;
    // The selected entry's file could not be shown: the owner tells the user, or for a file that
    // is no readable picture asks whether to delete it and fills the list again, which shows its
    // selection again (or selects nothing). `look` is the display's look at the file (empty when
    // it has none), its descriptor still open.
    virtual void cannotShow(const LoadedPicture &picture, const QByteArray &native,
                            const QString &path, const FileLook &look) = 0;
    // The selected entry's picture is shown, but its data ended early: a file still being
    // written is shown again once complete.
    virtual void shownIncomplete(const QByteArray &native, const QString &path,
                                 const FileLook &look) = 0;
};

} // namespace vistrel
