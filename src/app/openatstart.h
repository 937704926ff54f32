#pragma once

#include "app/commandline.h"
#include "common/detachedreads.h"

#include <QObject>

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
// comes, unless another folder has been chosen by then.
class OpenAtStart : public QObject
{
    Q_OBJECT

public:
    OpenAtStart(OpenRequest request, FolderTree *tree, FolderBrowser *browser, QWidget *listView,
                QWidget *window);

    // Selects the folder asked for. False when nothing is asked for or the folder tree cannot
    // open it: the start-up then goes on with the saved folder.
    bool selectFolder();
    // Opens the saved folder when it holds any file. One on a mount that does not answer leaves
    // the window usable with no folder chosen; it is opened when the answer comes, unless a
    // folder has been chosen by then.
    void openSavedFolder(const QString &saved);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void selectPicture();
    // Takes in whether the folder tree shows the folder (or is still finding its way to it).
    void opened(bool shown);

    OpenRequest m_request;
    FolderTree *m_tree;
    FolderBrowser *m_browser;
    QWidget *m_listView;
    bool m_folderOpened = false;
    DetachedReads m_reads{this}; // last: answers stop before anything else goes
};

} // namespace vistrel
