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
namespace {

// A rectangle of the area below the menu bar, in twips, as central-widget pixels.
QRect centralRect(const QRectF &twips)
{
    return units::toPixels(twips.translated(0, -layout::toolbarHeight));
}

} // namespace

MainWindow::MainWindow(const QString &settingsFile, SettingsReader *startedRead)
    : m_settingsFile(settingsFile),
      m_reader(startedRead ? startedRead : new SettingsReader(settingsFile, this)),
      m_placement(std::make_unique<WindowPlacement>(this)),
      m_notices([this] { return m_statusBar->panelText(1); },
                [this](const QString &text) { m_statusBar->setPanelText(1, text); })
{
    setObjectName(QStringLiteral("frmVistrel"));
    m_reader->setParent(this);
    // Messages appear over the main window, and the window manager keeps them above it.
    setDialogParent(this);
    createWidgets();
    connectCommands();
    connectBrowsing();
    connectSlideShow();
    connect(m_reader, &SettingsReader::arrived, this,
            [this](const StartupSettings &read) { takeInLateSettings(read.stored); });
    // Escape, as Exit and the close box, ends the run once a save asked for has its outcome.
    m_previousGate =
        setEndGate([this](std::function<void()> end) { m_saver->beforeEnd(std::move(end)); });
}

MainWindow::~MainWindow()
{
    setEndGate(std::move(m_previousGate));
}

void MainWindow::createWidgets()
{
    m_commands = new Commands(this);
    m_statusBar = new MainStatusBar(this);
    setStatusBar(m_statusBar);
    m_saver = new SettingsSaver(m_settingsFile, m_statusBar, this);
    const std::optional<StartupSettings> read = m_reader->take(m_statusBar);
    if (read)
        m_read = read->stored;

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    // The minimum is the window's own, with the menu bar, toolbar and status bar as they really
    // are: whatever their heights, a window at its minimum is 9090 by 8610 twips outside.
    setMinimumSize(units::toPixels(layout::minimumWidth - layout::decorationWidth),
                   units::toPixels(layout::minimumHeight - layout::decorationHeight));
    setCentralWidget(central);

    const QString documents = read ? read->documents : SettingsReader::fallbackDocuments();
    m_tree = new FolderTree(documents, homeFolder(), central);
    m_tree->setObjectName(QStringLiteral("FolderTreeview1"));
    m_browser = new FolderBrowser(m_tree, this);
    m_browser->setDocumentsFolder(documents);
    m_shownList =
        std::make_unique<BrowsedList>(m_browser, [this](const QString &text) { notice(text); });
    m_shownList->followWriters([this] { SortedList_Click(); });

    m_list = new PictureListView(m_browser->list(), central);
    m_list->setObjectName(QStringLiteral("SortedList"));
    m_openAtStart = new OpenAtStart(m_tree, m_browser, m_list, this, [this] {
        if (m_read) // else when the settings come
            m_openAtStart->openSavedFolder(m_savedFolder);
    });

    m_pathLabel = new QLabel(QStringLiteral("..."), central);
    m_pathLabel->setObjectName(QStringLiteral("PicLabel"));
    m_pathLabel->setTextFormat(Qt::PlainText);

    m_container = new PictureView(central);
    m_container->setFocusPolicy(Qt::StrongFocus);
    m_hscroll = new QScrollBar(Qt::Horizontal, central);
    m_hscroll->setObjectName(QStringLiteral("HScroll1"));
    m_vscroll = new QScrollBar(Qt::Vertical, central);
    m_vscroll->setObjectName(QStringLiteral("VScroll1"));
    m_hscroll->hide();
    m_vscroll->hide();
    // Keyboard users pan a large picture with the bars: arrow, page, Home and End keys.
    m_hscroll->setFocusPolicy(Qt::StrongFocus);
    m_vscroll->setFocusPolicy(Qt::StrongFocus);
    // A scroll bar's keys are turned round by default (Down adds, as a vertical bar should);
    // for the horizontal one that would make Left move the picture's view to the right.
    m_hscroll->setInvertedControls(false);
    new WheelScroll(m_container, m_hscroll, m_vscroll);
    m_display = new PictureDisplay(
        m_shownList.get(), m_container, m_hscroll, m_vscroll, m_pathLabel,
        [this](const QString &text) { m_statusBar->setPanelText(1, text); }, this);
    endRunOnEscape(m_list);

    // What a screen reader announces (the toolbar by its title, also shown in its context
    // menu); object names stay the program's own.
    m_commands->toolbar()->setWindowTitle(QStringLiteral("Toolbar"));
    m_tree->setAccessibleName(QStringLiteral("Folders"));
    m_list->setAccessibleName(QStringLiteral("Pictures"));
    m_container->setAccessibleName(QStringLiteral("Picture view"));

    setTabOrder(m_tree, m_list);
    setTabOrder(m_list, m_vscroll);
    setTabOrder(m_vscroll, m_hscroll);
    setTabOrder(m_hscroll, m_container);
    m_tree->setFocus();
}

void MainWindow::connectCommands()
{
    using C = Commands;
    connect(m_commands->action(C::Save), &QAction::triggered, this, &MainWindow::savesettings);
    connect(m_commands->action(C::Exit), &QAction::triggered, this, &MainWindow::close);
    connect(m_commands->action(C::About), &QAction::triggered, this,
            [this] { AboutDialog::showModal(this); });
    connect(m_commands->action(C::SortDate), &QAction::triggered, this, &MainWindow::sortByDate);
    connect(m_commands->action(C::SortName), &QAction::triggered, this, &MainWindow::sortByName);
    connect(m_commands->action(C::AutoRefresh), &QAction::triggered, m_browser,
            &FolderBrowser::autorefresh);
    connect(m_browser, &FolderBrowser::autoRefreshChanged, this,
            [this](bool on) { m_commands->setChecked(C::AutoRefresh, on); });
    connect(m_commands->action(C::Delete), &QAction::triggered, this,
            [this] { m_shownList->deletepicture(); });
    connect(m_commands->action(C::ScaleToFit), &QAction::triggered, m_display,
            &PictureDisplay::toggleScaleToFit);
    connect(m_display, &PictureDisplay::scaledPicsChanged, this,
            [this](bool on) { m_commands->setChecked(C::ScaleToFit, on); });
    connect(m_commands->action(C::Print), &QAction::triggered, this, [this] {
        PrintPreviewDialog::showPreview([this](const PrintablePicture &previous) {
            return takePrintable(m_pathLabel->text(), m_display->shownFile(), previous);
        });
    });
}

void MainWindow::connectBrowsing()
{
    connect(m_tree, &FolderTree::selectedPathChanged, this, [this] {
        const BusyCursor busy; // a large folder takes a moment to list
        m_browser->reloaddir();
    });
    connect(m_browser, &FolderBrowser::pictureHidden, m_display, &PictureDisplay::hidePicture);
    // A folder or a picture's file that is slow to answer is said to be read, and once, that it
    // does not answer; the window goes on answering meanwhile.
    connect(m_browser, &FolderBrowser::folderPending, this, [this](const QString &folder) {
        notice(folder.isEmpty() ? QString() : QStringLiteral("Reading the folder %1…").arg(folder));
    });
    connect(m_display->looks(), &PictureLooks::pending, this, [this](const QString &path) {
        notice(path.isEmpty() ? QString() : QStringLiteral("Reading the picture %1…").arg(path));
    });
    connect(m_display->looks(), &PictureLooks::silent, this, [this](const QString &path) {
        notice(QStringLiteral("The picture %1 does not answer.").arg(path));
    });
    connect(m_browser, &FolderBrowser::sortPending, this, [this](bool pending) {
        if (pending)
            m_sortBusy = std::make_unique<BusyCursor>();
        else
            m_sortBusy.reset();
    });
    connect(m_browser, &FolderBrowser::folderSilent, this, [this](const QString &folder) {
        notice(QStringLiteral("The folder %1 does not answer.").arg(folder));
    });
    connect(m_browser, &FolderBrowser::folderUnreadable, this,
            [this](const QString &folder, const QString &reason) {
                prompter().critical(
                    QStringLiteral("Cannot open the folder %1: %2.").arg(folder, reason),
                    errorTitle());
                m_tree->restoreSelectedPath(m_browser->holddir());
            });
    // The list's selection, by the user or by code, goes through the model; each change shows
    // the picture at once, and so does a click on the entry already selected.
    connect(m_browser->list(), &PictureListModel::listIndexChanged, this,
            &MainWindow::SortedList_Click);
    connect(m_list, &PictureListView::currentClickedAgain, this, &MainWindow::SortedList_Click);
}

void MainWindow::connectSlideShow()
{
    m_slides =
        std::make_unique<ListSlides>(m_browser, m_shownList.get(), [this] { SortedList_Click(); });
    m_slideShow = new SlideShow(*m_slides, nullptr, this);
    m_slideShow->setIntervalAsker(
        [this](int &interval) { return SlideShowInfoDialog::ask(this, interval); });
    QAction *action = m_commands->action(Commands::SlideShow);
    connect(action, &QAction::triggered, m_slideShow, &SlideShow::toggleslideshow);
    // A picture that could not be shown is passed over while the view mode stays, and the show
    // stands still while any question of the program waits for its answer.
    connect(m_display, &PictureDisplay::pictureFailed, m_slideShow, &SlideShow::passOver);
    connect(m_display, &PictureDisplay::scaledPicsChanged, m_slideShow,
            &SlideShow::forgetPassedOver);
    m_slideShow->setHeld([] { return isMessageOpen(); });
    connect(m_slideShow, &SlideShow::runningChanged, this, [this, action](bool running) {
        m_commands->setChecked(Commands::SlideShow, running);
        action->setText(running ? QStringLiteral("Stop Slideshow")
                                : QStringLiteral("Start Slideshow"));
    });
}

QListView *MainWindow::pictureList() const
{
    return m_list;
}

void MainWindow::SortedList_Click()
{
    m_display->SortedList_Click();
    // The picture is known to a screen reader by its path.
    const QString path = m_pathLabel->text();
    m_container->image1()->setAccessibleName(path);
    m_container->picture1()->setAccessibleName(path);
    m_container->setAccessibleDescription(path);
}

void MainWindow::notice(const QString &text)
{
    // Panel 1 is shared with the picture's sizes: only a notice still shown is taken back.
    m_notices.tell(text);
}

void MainWindow::setOpenRequest(std::unique_ptr<EarlyRequest<OpenRequest>> request,
                                const QString &asked)
{
    m_openAtStart->ask(std::move(request), asked, [this](const QString &text) { notice(text); });
}

void MainWindow::Form_Resize()
{
    if (m_dontresize || isMinimized() || !centralWidget())
        return;
    // Without a window manager that keeps to the minimum size, the window is set back to it
    // here; the resize that follows lays the window out.
    const QSize minimum = minimumSizeHint().expandedTo(minimumSize());
    if (!isMaximized() && !isFullScreen() &&
        (width() < minimum.width() || height() < minimum.height())) {
        resize(size().expandedTo(minimum));
        if (width() < minimum.width() || height() < minimum.height())
            return; // the platform has not taken the new size yet: its resize event comes later
    }
    const QSizeF outer = clampToMinimum(m_placement->sizeToStore());
    const MainLayout l = layoutForOuterSize(outer);
    m_container->setGeometry(centralRect(l.container));
    m_vscroll->setGeometry(centralRect(l.vscroll));
    m_hscroll->setGeometry(centralRect(l.hscroll));
    m_tree->setGeometry(centralRect(l.tree));
    m_list->setGeometry(centralRect(l.list));
    m_pathLabel->setGeometry(centralRect(l.pathLabel));
    m_display->onContainerResized(); // fits the stretched picture, hides both bars
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Restoring a minimized window lays it out again.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

void MainWindow::sortByDate()
{
    m_commands->setChecked(Commands::SortDate, true);
    m_commands->setChecked(Commands::SortName, false);
    const BusyCursor busy;
    m_browser->sortByDate();
}

void MainWindow::sortByName()
{
    m_commands->setChecked(Commands::SortName, true);
    m_commands->setChecked(Commands::SortDate, false);
    const BusyCursor busy;
    m_browser->sortByName();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_ending && m_saver->isSaving()) {
        event->ignore();
        m_saver->beforeEnd([this] {
            m_ending = true;
            close();
        });
        return;
    }
    // Closing the main window closes every other window of the program; nothing is saved.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window != this && window->isVisible())
            window->close();
    }
    event->accept();
    QApplication::quit();
}

} // namespace vistrel
