#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include "viewer/shownfile.h"

#include <functional>
#include <memory>

class QLabel;
class QScrollBar;
class QWidget;

namespace vistrel {

class FolderBrowser;
class PictureCache;
class PictureView;
struct LoadedPicture;

// Shows the picture selected in the picture list, in scale-to-fit mode or at its own size, and
// handles what belongs to it: the scale-to-fit switch, the scroll bars, deleting the current
// picture, and Esc in the list, the viewing area and the picture ending the run.
class PictureDisplay : public QObject
{
    Q_OBJECT

public:
    using StatusWriter = std::function<void(const QString &)>;

    PictureDisplay(FolderBrowser *browser, PictureView *view, QScrollBar *hScroll,
                   QScrollBar *vScroll, QLabel *pathLabel, StatusWriter writeStatus1,
                   QObject *parent = nullptr);
    ~PictureDisplay() override;

    bool scaledpics() const { return m_scaledpics; }
    // Sets the mode without showing anything (start-up); announces it like the switch.
    void setScaledPics(bool on);

    // Shows the current list entry. Runs on every change of the list's selection.
    void SortedList_Click();
    // Flips the mode and shows the current entry again.
    void toggleScaleToFit();
    // Asks, deletes the current picture, re-reads the folder and selects the same place.
    void deletepicture();
    // Hides both displays (the list became empty).
    void hidePicture();
    // The viewing area changed size: the stretched display follows it, the bars hide.
    void onContainerResized();
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);

    // The file on display, held for printing at full resolution; nullptr when nothing is shown.
    const ShownFile *shownFile() const { return m_shownNative.isEmpty() ? nullptr : &m_shownFile; }

signals:
    void scaledPicsChanged(bool on);

private:
    void clearView();
    void showScaled(const QByteArray &native, const QString &path);
    void showActualSize(const QByteArray &native, const QString &path);
    void handleFailure(const LoadedPicture &picture, const QByteArray &native, const QString &path);
    void askToDeleteUnreadable(const QByteArray &native, const QString &path);
    // Deletes the file itself (no trash); tells the user when that fails.
    void removeFile(const QByteArray &native, const QString &path);
    LoadedPicture loadShown(const QByteArray &native, const QSize &atLeast);
    // Starts decoding the pictures a step away from the one shown.
    void prefetchNeighbours(const QSize &atLeast);
    QByteArray nativePathOf(int index) const;

    FolderBrowser *m_browser;
    PictureView *m_view;
    QScrollBar *m_hScroll;
    QScrollBar *m_vScroll;
    QLabel *m_pathLabel;
    StatusWriter m_writeStatus1;
    bool m_scaledpics = false;
    // The file on display (native bytes), empty when none.
    QByteArray m_shownNative;
    ShownFile m_shownFile;
    // An unreadable file already asked about: its re-display inside the refill that follows the
    // answer does not ask again.
    QByteArray m_alreadyAsked;
    std::unique_ptr<PictureCache> m_cache;
};

} // namespace vistrel
