#pragma once

#include "app/commandline.h"
#include "common/requests.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace vistrel {

class FolderBrowser;
class FolderTree;

// Opens the picture or folder given on the command line, or else the saved folder. At start-up
// the command line's folder takes the saved folder's place: it is selected in the folder tree,
// which lists it. Once the main window is
// shown, the picture is selected in the picture list, which shows it at the laid-out size and
// takes the keyboard (the arrow keys go on to the next pictures), and what could not be opened
// is said over the window; a folder slow to answer has its picture selected when its listing
// comes, unless another folder has been chosen by then. The command line is resolved off the
// window's thread: one whose path does not answer within the quick answer at Continue is said
// to be read (after a while, once, that it does not answer) and taken in when it does, in the
// saved folder's place, unless a folder has been chosen by then.
class OpenAtStart : public QObject
{
    Q_OBJECT

public:
    // openSaved opens the saved folder in place of one asked for that cannot be opened.
    OpenAtStart(FolderTree *tree, FolderBrowser *browser, QWidget *listView, QWidget *window,
                std::function<void()> openSaved);

    // What the command line asks for, as its resolution of the path asked will answer, and how
    // to tell that it is still being looked at; call before selectFolder.
    void ask(std::unique_ptr<EarlyRequest<OpenRequest>> request, const QString &asked,
             std::function<void(const QString &)> notice);
    // Selects the folder asked for. False when nothing is asked for or the folder tree cannot
    // open it: the start-up then goes on with the saved folder. True while the command line's
    // answer is still to come.
    bool selectFolder();
    // Whether a folder has been chosen, or is being found or asked for, so the saved one waits.
    bool folderChosen() const;
    // Opens the saved folder when it holds any file. One on a mount that does not answer leaves
    // the window usable with no folder chosen; it is opened when the answer comes, unless a
    // folder has been chosen by then.
    void openSavedFolder(const QString &saved);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool selectRequested();
    void answered(OpenRequest request);
    // Says that the path is read until the tree has settled on a folder, else takes it back.
    void noticeWhileSeeking();
    void selectPicture();
    // Takes in whether the folder tree shows the folder (or is still finding its way to it).
    void opened(bool shown);

    OpenRequest m_request;
    FolderTree *m_tree;
    FolderBrowser *m_browser;
    QWidget *m_listView;
    std::function<void()> m_openSaved;
    std::unique_ptr<EarlyRequest<OpenRequest>> m_asked;
    QString m_askedPath;
    std::function<void(const QString &)> m_tell;
    PendingNotice m_notice; // the command line's path, while its answer is to come
    bool m_resolving = false;
    bool m_shown = false;
    bool m_folderOpened = false;
    Requests m_requests{this}; // last: answers stop before anything else goes
};

} // namespace vistrel
