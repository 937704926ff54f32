// The window's settings: restored at the start, taken in when their read answers late, saved.

#include "app/mainwindow.h"

#include "app/browsedlist.h"
#include "app/clockformat.h"
#include "app/commands.h"
#include "app/listslides.h"
#include "app/mainlayout.h"
#include "app/openatstart.h"
#include "app/settings.h"
#include "app/settingsreader.h"
#include "app/settingssaver.h"
#include "app/statusbar.h"
#include "app/userfolders.h"
#include "app/windowplacement.h"
#include "browse/folderbrowser.h"
#include "browse/foldertree.h"
#include "browse/picturelistmodel.h"
#include "browse/picturelistview.h"
#include "common/identity.h"
#include "common/services.h"
#include "common/units.h"
#include "info/aboutdialog.h"
#include "print/printpreviewdialog.h"
#include "slideshow/slideshow.h"
#include "slideshow/slideshowinfodialog.h"
#include "viewer/picturedisplay.h"
#include "viewer/pictureview.h"
#include "viewer/wheelscroll.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QScrollBar>
#include <QToolBar>

namespace vistrel {

void MainWindow::Form_Load()
{
    m_dontresize = true;
    m_statusBar->setPanelText(4, loadClockText(QDateTime::currentDateTime()));
    // Settings still to come leave the defaults in force, and no folder opened, meanwhile.
    restoreSettings(m_read.value_or(StoredSettings()));
    m_commands->setChecked(Commands::SlideShow, false);
    if (m_browser->isAutoRefreshOn())
        m_browser->autorefresh();
    m_commands->setChecked(Commands::AutoRefresh, false);
    setWindowTitle(identity::mainCaption());
    m_browser->setCurslide(0);
    // A picture or folder given on the command line takes the saved folder's place.
    if (!m_openAtStart->selectFolder() && m_read)
        m_openAtStart->openSavedFolder(m_savedFolder);
    m_browser->setHolddir(m_tree->selectedPath());
    m_dontresize = false;
    Form_Resize();
}

void MainWindow::restoreSettings(const StoredSettings &s)
{
    m_placement->restore(s.mainLeft, s.mainTop, s.mainWidth, s.mainHeight);
    m_slideShow->setSlideshowinterval(s.slideInterval);
    m_commands->setButtonValue(1, s.toolbar1);
    m_commands->setButtonValue(2, s.toolbar2);
    m_commands->setButtonValue(3, s.toolbar3);
    // The name button decides the sort mode; the date button's stored state takes no part.
    const bool byName = s.toolbar2 == 1;
    m_commands->setChecked(Commands::SortName, byName);
    m_commands->setChecked(Commands::SortDate, !byName);
    m_browser->setSortType(byName ? QStringLiteral("Name") : QStringLiteral("Date"));
    m_display->setScaledPics(s.toolbar3 == 1);
    m_savedFolder = s.lastDir;
}

void MainWindow::takeInLateSettings(const StoredSettings &s)
{
    // As if read at start, the list and the picture shown following the modes; the saved folder
    // only while none has been chosen.
    const QString sortType = m_browser->sortType();
    const bool scaled = m_display->scaledpics();
    const bool chosen = m_openAtStart->folderChosen();
    m_read = s;
    m_dontresize = true;
    restoreSettings(s);
    m_dontresize = false;
    if (m_browser->sortType() != sortType)
        s.toolbar2 == 1 ? m_browser->sortByName() : m_browser->sortByDate();
    if (m_display->scaledpics() != scaled && m_browser->list()->listIndex() >= 0)
        SortedList_Click();
    if (!chosen)
        m_openAtStart->openSavedFolder(m_savedFolder);
    Form_Resize();
}

void MainWindow::savesettings()
{
    m_reader->drop(); // what the window shows is now what the user keeps
    StoredSettings s;
    // The folder listed; while none is, the one stored stays (a folder that did not pass the
    // look at start-up may be back next time), and a stored empty text becomes the documents
    // folder, which the tree always offers.
    s.lastDir = m_browser->currentFolder();
    if (s.lastDir.isEmpty())
        s.lastDir = m_savedFolder;
    if (s.lastDir.isEmpty())
        s.lastDir = m_browser->documentsFolder();
    s.slideInterval = m_slideShow->slideshowinterval();
    const QPointF position = m_placement->positionToStore();
    const QSizeF size = m_placement->sizeToStore();
    s.mainLeft = position.x();
    s.mainTop = position.y();
    s.mainWidth = size.width();
    s.mainHeight = size.height();
    s.toolbar1 = m_commands->buttonValue(1);
    s.toolbar2 = m_commands->buttonValue(2);
    s.toolbar3 = m_commands->buttonValue(3);
    m_saver->save(s);
}

} // namespace vistrel
