#include "app/browsedlist.h"

#include "browse/filelist.h"
#include "browse/folderbrowser.h"
#include "browse/folderlisting.h"
#include "browse/pathmap.h"
#include "browse/picturelistmodel.h"
#include "common/errortext.h"
#include "common/filewriters.h"
#include "common/nativename.h"
#include "common/services.h"
#include "viewer/pictureloader.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vistrel {
namespace {

// How often a picture that waits for its writer is looked at again.
constexpr int writerPauseMs = 250;
// Where no lease tells whether a file is written: how long a bad file not changed recently is
// watched for a change before it is asked about, and how long one waited for keeps still (after
// recentChange) before it counts as whole.
constexpr std::chrono::milliseconds firstWatch{150};
constexpr std::chrono::milliseconds stillWatch{1000};

const QString deleteTitle()
{
    return QStringLiteral("DELETE FILE");
}

} // namespace

BrowsedList::BrowsedList(FolderBrowser *browser, Notice notice, QObject *parent)
    : QObject(parent), m_browser(browser), m_notice(std::move(notice))
{
    // While a delete is to answer; after a while, once, that its folder does not answer.
    m_deleteNotice.pending = [this](const QString &path) {
        if (!path.isEmpty()) // the outcome takes the notice back itself, before it is told
            tellDeleting(QStringLiteral("Deleting %1…").arg(path));
    };
    m_deleteNotice.silent = [this](const QString &path) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        tellDeleting(QStringLiteral("The folder %1 does not answer; %2 is still being deleted.")
                         .arg(slash > 0 ? path.left(slash) : QStringLiteral("/"), path));
    };
}

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
                             const QString &path, const FileLook &look)
{
    switch (picture.error) {
    case LoadedPicture::Unreadable:
        // While a delete is under way nothing else is offered for deletion: the picture is
        // shown, and so asked about, again with the refill that follows it.
        if (native == m_refilling || m_delete.isPending())
            return;
        lookForWriter(native, path, look, true);
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
    const bool yes =
        prompter().askYesNo(QStringLiteral("ERROR Reading file (Delete?): ") + path, deleteTitle());
    removeAndReread(native, path, yes, [this] {
        const int shown = index();
        setCurslide(shown == 0 || shown > count() ? 1 : shown);
    });
}

bool BrowsedList::deleting(const QByteArray &native)
{
    if (m_delete.isPending()) {
        tell(m_deleteText); // one at a time: the one under way is still to answer
        return true;
    }
    // Deleted, with the list still to follow: nothing is left to delete.
    return native == m_deleted && m_browser->files()->generation() == m_deletedListing;
}

void BrowsedList::deletepicture()
{
    const int shown = index();
    const QString path = this->path(shown);
    const QByteArray native = nativePath(shown);
    if (path.isEmpty() || deleting(native))
        return;
    const bool yes = prompter().askYesNo(QStringLiteral("Delete file: ") + path, deleteTitle());
    // Also after No or a failed delete, so the list matches the disk.
    removeAndReread(native, path, yes, [this, shown] {
        const int left = count();
        if (left > 0)
            setIndex(shown < left ? shown : left - 1);
    });
}

void BrowsedList::removeAndReread(const QByteArray &native, const QString &path, bool remove,
                                  std::function<void()> reselect)
{
    m_refilling.clear(); // a refill awaited for an earlier removal was dropped
    if (!remove) {
        reread(native, std::move(reselect));
        return;
    }
    const QString folder = m_browser->currentFolder();
    // The file itself goes (no trash).
    const std::optional<int> now = m_delete.run<int>(
        Request::fileAt(path), [native] { return ::unlink(native.constData()) == 0 ? 0 : errno; },
        [this, native, path, folder, reselect](int error) {
            tell(QString());
            // A folder left meanwhile is not refilled; the outcome is told all the same.
            removed(error, native, path, folder == m_browser->currentFolder() ? reselect : nullptr);
        });
    if (now) {
        removed(*now, native, path, reselect);
        return;
    }
}

void BrowsedList::removed(int error, const QByteArray &native, const QString &path,
                          const std::function<void()> &reselect)
{
    if (error != 0) {
        prompter().critical(QStringLiteral("Could not delete file: ") + path +
                                QStringLiteral(" (") + errorText(error) + QLatin1Char(')'),
                            deleteTitle());
    } else {
        m_deleted = native;
        m_deletedListing = m_browser->files()->generation();
    }
    if (reselect)
        reread(native, reselect);
}

void BrowsedList::reread(const QByteArray &native, std::function<void()> reselect)
{
    // The picture is not asked about again until the refill, which may come late, is in.
    const QByteArray outer = std::exchange(m_refilling, native);
    m_browser->rereadAndRefill({}, [this, reselect = std::move(reselect), outer] {
        reselect();
        m_refilling = outer;
    });
}

void BrowsedList::shownIncomplete(const QByteArray &native, const QString &path,
                                  const FileLook &look)
{
    lookForWriter(native, path, look, false);
}

void BrowsedList::followWriters(std::function<void()> showAgain)
{
    m_showAgain = std::move(showAgain);
    m_writerCheck.setSingleShot(true);
    m_writerCheck.setInterval(writerPauseMs);
    connect(&m_writerCheck, &QTimer::timeout, this, &BrowsedList::checkWriter);
    connect(
        m_browser, &FolderBrowser::pictureWritten, this,
        [this](const QByteArray &name) {
            const PictureEntry *entry = m_browser->list()->entry(index());
            if (!entry || entry->nativeName != name || !m_showAgain)
                return;
            stopWaiting();
            m_showAgain();
        },
        Qt::QueuedConnection);
}

// Whether someone is still writing the file, as automatic refresh's notices (or its looks at the
// file's size and time) tell.
bool BrowsedList::stillWritten(const QByteArray &native) const
{
    return m_browser->isBeingWritten(native.mid(native.lastIndexOf('/') + 1));
}

void BrowsedList::lookForWriter(const QByteArray &native, const QString &path, const FileLook &look,
                                bool unreadable)
{
    stopWaiting();
    const auto settle = [this, native, path, file = look.file, seen = look.identity,
                         unreadable](bool written) {
        if (written)
            waitForWriter(native, path, file, seen);
        else if (unreadable)
            askToDeleteUnreadable(native, path);
    };
    if (stillWritten(native)) {
        settle(true);
        return;
    }
    const std::optional<bool> now = m_writerLook.run<bool>(
        Request::fileAt(path),
        [file = look.file, native, seen = look.identity] {
            return writingOf(file, native, seen, firstWatch) != Writing::No;
        },
        [this, native, settle](bool written) {
            if (nativePath(index()) != native)
                return; // another picture was chosen meanwhile
            // The refill that follows the question shows the file again without asking again.
            const QByteArray outer = m_refilling;
            m_refilling = native;
            settle(written);
            m_refilling = outer;
        });
    if (now)
        settle(*now);
}

void BrowsedList::waitForWriter(const QByteArray &native, const QString &path,
                                std::shared_ptr<const OpenedFile> file, const FileIdentity &seen)
{
    m_awaited = native;
    m_awaitedPath = path;
    m_awaitedFile = std::move(file);
    m_awaitedIdentity = seen;
    tell(QStringLiteral("The picture %1 is still being written.").arg(path));
    if (m_showAgain)
        m_writerCheck.start();
}

void BrowsedList::checkWriter()
{
    if (m_awaited.isEmpty())
        return;
    if (nativePath(index()) != m_awaited || stillWritten(m_awaited)) {
        writerChecked(Writing::Yes);
        return;
    }
    const std::optional<Writing> now = m_writerLook.run<Writing>(
        Request::fileAt(m_awaitedPath),
        [file = m_awaitedFile, native = m_awaited, seen = m_awaitedIdentity] {
            return writingOf(file, native, seen, stillWatch);
        },
        [this](Writing written) { writerChecked(written); });
    if (now)
        writerChecked(*now);
}

void BrowsedList::writerChecked(Writing written)
{
    if (m_awaited.isEmpty())
        return;
    // A file changed where no lease tells is shown as it is now: it may be whole already.
    if (nativePath(index()) != m_awaited) {
        stopWaiting(); // another picture was chosen meanwhile
    } else if (written == Writing::Yes || stillWritten(m_awaited)) {
        m_writerCheck.start();
    } else {
        stopWaiting();
        m_showAgain();
    }
}

void BrowsedList::stopWaiting()
{
    m_writerCheck.stop();
    m_writerLook.drop();
    if (m_awaited.isEmpty())
        return;
    m_awaited.clear();
    m_awaitedFile.reset();
    m_awaitedIdentity = FileIdentity();
    tell(QString());
}

void BrowsedList::tellDeleting(const QString &notice)
{
    m_deleteText = notice;
    tell(notice);
}

void BrowsedList::tell(const QString &notice)
{
    if (m_notice)
        m_notice(notice);
}

} // namespace vistrel
