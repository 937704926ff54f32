#pragma once

#include "app/settings.h"
#include "common/requests.h"
#include "common/services.h"

#include <QMainWindow>
#include <QString>

#include <memory>
#include <optional>

class QLabel;
class QListView;
class QScrollBar;

namespace vistrel {

class BrowsedList;
class BusyCursor;
class Commands;
class FolderBrowser;
class FolderTree;
class MainStatusBar;
class OpenAtStart;
class PictureDisplay;
class PictureListView;
class PictureView;
class SettingsReader;
class SettingsSaver;
class SlideShow;
class SlideTarget;
class WindowPlacement;
struct OpenRequest;
template<typename Result> class EarlyRequest;

// frmVistrel, the main window: the folder tree above the picture list at the left, the path
// label and the viewing area with its scroll bars at the right, toolbar, menus and status bar.
// It owns the lasting state through the objects it wires together and keeps both command
// surfaces in step with the modes in force.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // settingsFile is the settings store, read once at start and written only by savesettings.
    // The read is the one begun by startedRead, which the window takes over, or else one begun
    // here; the window is made with what it has answered by then.
    explicit MainWindow(const QString &settingsFile, SettingsReader *startedRead = nullptr);
    ~MainWindow() override;

    // A picture or folder to open in place of the saved folder, as the command line's
    // resolution of the path asked answers; call before Form_Load.
    void setOpenRequest(std::unique_ptr<EarlyRequest<OpenRequest>> request, const QString &asked);
    // Restores the window and its modes from the store and opens the saved folder.
    void Form_Load();
    void Form_Resize();
    void savesettings();
    void SortedList_Click();

    FolderBrowser *browser() const { return m_browser; }
    FolderTree *folderTree() const { return m_tree; }
    QListView *pictureList() const;
    QLabel *pathLabel() const { return m_pathLabel; }
    PictureView *viewingArea() const { return m_container; }
    PictureDisplay *display() const { return m_display; }
    QScrollBar *horizontalBar() const { return m_hscroll; }
    QScrollBar *verticalBar() const { return m_vscroll; }
    MainStatusBar *statusPanels() const { return m_statusBar; }
    SettingsSaver *settingsSaver() const { return m_saver; }
    Commands *commands() const { return m_commands; }

    SlideShow *slideShow() const { return m_slideShow; }
    WindowPlacement *placement() const { return m_placement.get(); }
    bool dontresize() const { return m_dontresize; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createWidgets();
    void connectCommands();
    void connectBrowsing();
    void connectSlideShow();
    void sortByDate();
    void sortByName();
    // The window's place and modes as stored; the saved folder is only remembered.
    void restoreSettings(const StoredSettings &s);
    void takeInLateSettings(const StoredSettings &s);
    // Shows a notice about something being read in status panel 1; an empty one takes the last
    // back.
    void notice(const QString &text);

    QString m_settingsFile;
    SettingsReader *m_reader;
    std::optional<StoredSettings> m_read; // as the read answered when the window was made
    QString m_savedFolder; // the stored folder as read, saved again until one is listed
    Commands *m_commands = nullptr;
    MainStatusBar *m_statusBar = nullptr;
    SettingsSaver *m_saver = nullptr;
    FolderTree *m_tree = nullptr;
    FolderBrowser *m_browser = nullptr;
    std::unique_ptr<BrowsedList> m_shownList; // the list as the display shows it
    PictureListView *m_list = nullptr;
    QLabel *m_pathLabel = nullptr;
    PictureView *m_container = nullptr;
    PictureDisplay *m_display = nullptr;
    QScrollBar *m_hscroll = nullptr;
    QScrollBar *m_vscroll = nullptr;
    std::unique_ptr<SlideTarget> m_slides;
    SlideShow *m_slideShow = nullptr;
    std::unique_ptr<WindowPlacement> m_placement;
    OpenAtStart *m_openAtStart = nullptr;
    bool m_dontresize = false;
    // Status panel 1's notices about something being read.
    PanelText m_notices;
    std::unique_ptr<BusyCursor> m_sortBusy; // while the folder is put in a new order
    bool m_ending = false; // the saves asked for have their outcome: closing ends the run
    EndGate m_previousGate;
};

} // namespace vistrel
