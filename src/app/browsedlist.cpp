#include "app/browsedlist.h"

#include "browse/folderbrowser.h"
#include "browse/pathmap.h"
#include "browse/picturelistmodel.h"
#include "common/errortext.h"
#include "common/nativename.h"
#include "common/services.h"
#include "viewer/pictureloader.h"

#include <cerrno>
#include <unistd.h>

namespace vistrel {
namespace {

const QString deleteTitle()
{
    return QStringLiteral("DELETE FILE");
}

// Deletes the file itself (no trash); tells the user when that fails.
void removeFile(const QByteArray &native, const QString &path)
{
    if (::unlink(native.constData()) == 0)
        return;
    const QString reason = errorText(errno);
    prompter().critical(QStringLiteral("Could not delete file: ") + path + QStringLiteral(" (") +
                            reason + QLatin1Char(')'),
                        deleteTitle());
}

} // namespace

int BrowsedList::index() const
{
    return m_browser->list()->listIndex();
}

void BrowsedList::setIndex(int index)
{
    m_browser->list()->setListIndex(index);
}

int BrowsedList::count() const
{
    return m_browser->list()->count();
}

QString BrowsedList::path(int index) const
{
    const PictureEntry *entry = m_browser->list()->entry(index);
    return entry ? joinFolderAndName(m_browser->currentFolder(), entry->name) : QString();
}

QByteArray BrowsedList::nativePath(int index) const
{
    const PictureEntry *entry = m_browser->list()->entry(index);
    return entry ? joinFolderAndName(toNative(m_browser->currentFolder()), entry->nativeName)
                 : QByteArray();
}

void BrowsedList::setCurslide(int index)
{
    m_browser->setCurslide(index);
}

void BrowsedList::cannotShow(const LoadedPicture &picture, const QByteArray &native,
                             const QString &path)
{
    switch (picture.error) {
    case LoadedPicture::Unreadable:
        askToDeleteUnreadable(native, path);
        return;
    case LoadedPicture::FileNotFound:
        prompter().critical(QStringLiteral("File not found: ") + path, errorTitle());
        setIndex(-1);
        return;
    default: {
        // Permission denied, too large for memory, any other failure: said, and the program
        // goes on with nothing selected. A picture refused for memory is no damaged file: the
        // message says so, and it is never offered for deletion.
        QString prompt = QString::number(picture.error);
        if (picture.error == LoadedPicture::OutOfMemory)
            prompt +=
                QStringLiteral("\n\nNot enough memory to show %1: %2.").arg(path, picture.reason);
        prompter().critical(prompt, errorTitle());
        setIndex(-1);
        return;
    }
    }
}

void BrowsedList::askToDeleteUnreadable(const QByteArray &native, const QString &path)
{
    if (prompter().askYesNo(QStringLiteral("ERROR Reading file (Delete?): ") + path, deleteTitle()))
        removeFile(native, path);
    m_browser->rereadAndRefill();
    const int shown = index();
    setCurslide(shown == 0 || shown > count() ? 1 : shown);
}

void BrowsedList::deletepicture()
{
    const int shown = index();
    const QString path = this->path(shown);
    const QByteArray native = nativePath(shown);
    if (path.isEmpty())
        return;
    if (prompter().askYesNo(QStringLiteral("Delete file: ") + path, deleteTitle()))
        removeFile(native, path);
    // Also after No or a failed delete, so the list matches the disk.
    m_browser->rereadAndRefill();
    const int left = count();
    if (left > 0)
        setIndex(shown < left ? shown : left - 1);
}

} // namespace vistrel
