#pragma once

#include "common/filewriters.h"
#include "common/requests.h"
#include "viewer/shownlist.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace vistrel {

class FolderBrowser;
struct FolderNames;

// The folder browser's picture list as the display shows it, and what is said and done about its
// files: the messages for a picture that cannot be shown, the question whether to delete a file
// that is no readable picture, and the Delete command. The file is deleted and the folder read
// again off the window's thread (docs/design.md, "Work that may block"): an answer still to come
// is awaited with a notice ("Deleting …"), and only then told, once, as a failure or by the list.
// One delete at a time: while one is under way, Delete asks nothing and only says again what is
// awaited, and a file deleted is not asked about again while the list has still to follow.
class BrowsedList final : public QObject, public ShownList
{
    Q_OBJECT

public:
    using Notice = std::function<void(const QString &)>;
    explicit BrowsedList(FolderBrowser *browser, Notice notice = {}, QObject *parent = nullptr);

    int index() const override;
    void setIndex(int index) override;
    int count() const override;
    QString path(int index) const override;
    QByteArray nativePath(int index) const override;
    void setCurslide(int index) override;
    void cannotShow(const LoadedPicture &picture, const QByteArray &native, const QString &path,
                    const FileLook &look) override;
    void shownIncomplete(const QByteArray &native, const QString &path,
                         const FileLook &look) override;

    // Asks, deletes the current picture, re-reads the folder and selects the same place.
    void deletepicture();
    // A picture that cannot be read, or whose data ends early, while it is still being written is
    // shown again, by showAgain, once its writer has closed it (or, where neither change notices
    // nor the kernel's leases tell, once it changes or it has kept still for a minute); only a
    // bad one that nobody writes is offered for deletion. The picture shown is shown again, too,
    // when its writer closes it.
    void followWriters(std::function<void()> showAgain);

private:
    void askToDeleteUnreadable(const QByteArray &native, const QString &path);
    // Deletes the file when asked to, reads the folder again and refills the list, then runs
    // `reselect`; off the window's thread, as above.
    void removeAndReread(const QByteArray &native, const QString &path, bool remove,
                         std::function<void()> reselect);
    // Tells a failed delete; refills the list when reselect is given.
    void removed(int error, const QByteArray &native, const QString &path,
                 const std::function<void()> &reselect);
    void reread(const QByteArray &native, std::function<void()> reselect);
    // Whether a Delete of native now is to be passed over: one is under way, or native is gone.
    bool deleting(const QByteArray &native);
    void tell(const QString &notice);
    void tellDeleting(const QString &notice);
    bool stillWritten(const QByteArray &native) const;
    // Asks whether someone writes the file (off the window's thread); one being written waits for
    // its writer, a bad one (`unreadable`) that nobody writes is asked about.
    void lookForWriter(const QByteArray &native, const QString &path, const FileLook &look,
                       bool unreadable);
    void waitForWriter(const QByteArray &native, const QString &path,
                       std::shared_ptr<const OpenedFile> file, const FileIdentity &seen);
    void checkWriter();
    void writerChecked(Writing written);
    // Waits no longer for the picture's writer, and takes back the notice.
    void stopWaiting();

    FolderBrowser *m_browser;
    Notice m_notice;
    // The file whose late removal is being taken in: its re-display asks nothing again.
    QByteArray m_refilling;
    QString m_deleteText; // what panel 1 was told of the delete under way
    QByteArray m_deleted; // the file deleted last, and the listing the list had then
    quint64 m_deletedListing = 0;
    std::function<void()> m_showAgain;
    QByteArray m_awaited; // the picture shown that waits for its writer
    QString m_awaitedPath;
    std::shared_ptr<const OpenedFile> m_awaitedFile;
    FileIdentity m_awaitedIdentity; // as it was when the wait began
    QTimer m_writerCheck;
    PendingNotice m_deleteNotice;
    Requests m_requests{this}; // last: answers stop before anything else goes
    RequestLine m_delete{m_requests, &m_deleteNotice};
    RequestLine m_writerLook{m_requests};
};

} // namespace vistrel
