#include "app/openatstart.h"

#include "browse/folderbrowser.h"
#include "browse/folderlisting.h"
#include "browse/foldertree.h"
#include "browse/pathmap.h"
#include "browse/picturelistmodel.h"
#include "common/nativename.h"
#include "common/services.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace vistrel {

OpenAtStart::OpenAtStart(FolderTree *tree, FolderBrowser *browser, QWidget *listView,
                         QWidget *window, std::function<void()> openSaved)
    : QObject(window), m_tree(tree), m_browser(browser), m_listView(listView),
      m_openSaved(std::move(openSaved))
{
    window->installEventFilter(this);
}

void OpenAtStart::ask(std::unique_ptr<EarlyRequest<OpenRequest>> request, const QString &asked,
                      std::function<void(const QString &)> notice)
{
    m_asked = std::move(request);
    m_askedPath = asked;
    m_tell = std::move(notice);
    m_notice.pending = [this](const QString &path) {
        if (!path.isEmpty())
            m_tell(QStringLiteral("Reading %1…").arg(path));
        else if (m_browser->pendingFolder().isEmpty()) // a slow folder's own notice stays
            m_tell(QString());
    };
    m_notice.silent = [this](const QString &path) {
        m_tell(QStringLiteral("The path %1 does not answer.").arg(path));
    };
}

bool OpenAtStart::selectFolder()
{
    if (m_asked) {
        std::optional<OpenRequest> now =
            m_asked->take([this](OpenRequest late) { answered(std::move(late)); });
        if (!now) {
            m_resolving = true;
            m_notice.wait(this, m_askedPath);
            return true; // the saved folder waits for the answer
        }
        m_request = std::move(*now);
    }
    const bool selected = selectRequested();
    if (m_asked)
        noticeWhileSeeking();
    return selected;
}

void OpenAtStart::answered(OpenRequest request)
{
    m_resolving = false;
    m_notice.answered(this);
    if (folderChosen()) {
        return; // the user has chosen a folder meanwhile
    }
    m_request = std::move(request);
    const bool selected = selectRequested();
    noticeWhileSeeking();
    if (!selected)
        m_openSaved();
    if (m_shown)
        selectPicture();
}

void OpenAtStart::noticeWhileSeeking()
{
    // While the tree still finds its way to the folder, the path is still being read: the
    // notice stays until the tree has the folder (whose own read then tells, if it is slow),
    // finds it missing, or is given another.
    // A folder slow to read has said so by now, in the notice's place; that one stays.
    const auto takeBack = [this] {
        if (m_browser->pendingFolder().isEmpty())
            m_tell(QString());
    };
    if (m_tree->pendingPath().isEmpty()) {
        takeBack();
        return;
    }
    m_tell(QStringLiteral("Reading %1…").arg(m_askedPath));
    // Its own context: selectPicture's wait for the same signal disconnects only its own.
    auto *watch = new QObject(this);
    const auto settled = [this, watch, takeBack] {
        m_tree->disconnect(watch);
        watch->deleteLater();
        takeBack();
    };
    connect(m_tree, &FolderTree::pathSettled, watch, settled);
    connect(m_tree, &FolderTree::selectedPathChanged, watch, settled);
}

bool OpenAtStart::folderChosen() const
{
    return m_resolving || !m_tree->selectedPath().isEmpty() || !m_tree->pendingPath().isEmpty();
}

bool OpenAtStart::selectRequested()
{
    using Kind = OpenRequest::Kind;
    if (m_request.kind != Kind::Folder && m_request.kind != Kind::Picture)
        return false;
    // The tree lists the folder as its selection changes. A folder that fails to open there is
    // reported by the tree's own message, which moves the selection back to none.
    opened(m_tree->setSelectedPath(m_request.folder));
    // A folder whose way is slow to answer counts as opened: the picture waits for it.
    return m_folderOpened || !m_tree->pendingPath().isEmpty();
}

void OpenAtStart::openSavedFolder(const QString &saved)
{
    const QString probe = joinFolderAndName(saved, QString());
    const std::optional<bool> found = m_requests.run<bool>(
        Request(saved), [probe] { return folderHasAnyFile(probe); },
        [this, saved](bool late) {
            if (late && m_tree->selectedPath().isEmpty())
                m_tree->setSelectedPath(saved);
        });
    if (found.value_or(false))
        m_tree->setSelectedPath(saved);
}

void OpenAtStart::opened(bool shown)
{
    if (shown) {
        m_folderOpened = !m_tree->selectedPath().isEmpty() || !m_tree->pendingPath().isEmpty();
        if (!m_folderOpened)
            m_request.message.clear(); // said once is enough
    } else {
        m_folderOpened = false;
        m_request.message = QStringLiteral("Cannot open the folder %1: the folder tree does not "
                                           "show it (hidden folders are not shown).")
                                .arg(m_request.folder);
    }
}

bool OpenAtStart::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        watched->removeEventFilter(this);
        m_shown = true;
        // After the showing has finished: the picture is then shown at its laid-out size, and
        // a message stands over the window.
        QTimer::singleShot(0, this, &OpenAtStart::selectPicture);
    }
    return QObject::eventFilter(watched, event);
}

void OpenAtStart::selectPicture()
{
    if (m_resolving)
        return; // asked again once the command line has its answer
    if (m_folderOpened && !m_tree->pendingPath().isEmpty()) {
        // Asked again once the tree has found the folder (or been given another).
        connect(m_tree, &FolderTree::pathSettled, this, [this](const QString &, bool found) {
            disconnect(m_tree, &FolderTree::pathSettled, this, nullptr);
            opened(found);
            selectPicture();
        });
        return;
    }
    const QString pending = m_browser->pendingFolder();
    if (m_folderOpened && !pending.isEmpty()) {
        // Asked again once the folder has answered (or been left for another).
        connect(m_browser, &FolderBrowser::folderPending, this, [this, pending] {
            disconnect(m_browser, &FolderBrowser::folderPending, this, nullptr);
            m_folderOpened = m_browser->currentFolder() == pending;
            selectPicture();
        });
        return;
    }
    PictureListModel *list = m_browser->list();
    if (m_folderOpened && m_request.kind == OpenRequest::Kind::Picture) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->entry(i)->nativeName == m_request.picture) {
                m_listView->setFocus();
                list->setListIndex(i);
                return;
            }
        }
        // Gone, or turned into something else, since the command line was read.
        m_request.message =
            notListedMessage(joinFolderAndName(m_request.folder, fromNative(m_request.picture)));
    }
    if (!m_request.message.isEmpty())
        prompter().critical(m_request.message, errorTitle());
}

} // namespace vistrel
