#pragma once

#include "common/requests.h"
#include "viewer/decodeahead.h"
#include "viewer/filelook.h"
#include "viewer/picturecache.h"
#include "viewer/picturelooks.h"
#include "viewer/shownfile.h"
#include "viewer/tiledpicture.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QScrollBar;
class QTimer;
class QWidget;

namespace vistrel {

class BusyCursor;
class PictureView;
class ShownList;
class TiledFileWatch;

// Shows the picture selected in the picture list, in scale-to-fit mode or at its own size, and
// handles what belongs to it: the scale-to-fit switch, the scroll bars, and Esc in the list, the
// viewing area and the picture ending the run. What is done about a file that cannot be shown
// is the list's owner's (ShownList).
//
// The file is looked at off the window's thread (PictureLooks): the display goes on when the look
// answers, unless another display came first. Meanwhile the path label names the file and the
// looks tell that it is being read.
//
// Pictures are decoded on worker threads (PictureCache), the next ones in the direction of
// travel ahead of time. A display waits for its picture about a frame at most (quickWait), so
// the window never freezes and held keys never queue up behind decodes. A picture not ready by
// then is shown as soon as its decode is done (the busy cursor showing meanwhile), unless another
// display came first; the path label, status panel 1 (from the file's header) and every fault
// found in the header are still handled at once, in order. When the viewing area grows beyond
// what the picture shown can fill sharply, it is decoded again for the new size once the
// resizing pauses.
class PictureDisplay : public QObject
{
    Q_OBJECT

public:
    using StatusWriter = std::function<void(const QString &)>;

    PictureDisplay(ShownList *list, PictureView *view, QScrollBar *hScroll, QScrollBar *vScroll,
                   QLabel *pathLabel, StatusWriter writeStatus1, QObject *parent = nullptr);
    ~PictureDisplay() override;

    bool scaledpics() const { return m_scaledpics; }
    // Sets the mode without showing anything (start-up); announces it like the switch.
    void setScaledPics(bool on);

    // Shows the current list entry. Runs on every change of the list's selection.
    void SortedList_Click();
    // Flips the mode and shows the current entry again.
    void toggleScaleToFit();
    // Hides both displays (the list became empty).
    void hidePicture();
    // The viewing area changed size: the stretched display follows it, the bars hide.
    void onContainerResized();
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);

    // The file on display, held for printing at full resolution; nullptr when nothing is shown.
    const ShownFile *shownFile() const { return m_shownNative.isEmpty() ? nullptr : &m_shownFile; }

    // True while the current entry's file is still being read or its picture decoded; for tests
    // and benches.
    bool isPending() const { return m_pending.has_value() || m_looks.isPending(); }
    // Whose answers say that a file is being read.
    const PictureLooks *looks() const { return &m_looks; }
    // Replaces the decoder (tests: slow or counting ones) with a fresh cache.
    void setDecoder(PictureCache::Decoder decoder);
    PictureCache &cache() const { return *m_cache; }

signals:
    void scaledPicsChanged(bool on);
    // The picture at this list index could not be shown; told before any question about it,
    // while the index still names it.
    void pictureFailed(int listIndex);

private:
    using Request = PictureCache::Request;
    struct Pending
    {
        Request request;
        QString path;
        std::shared_ptr<BusyCursor> busy; // shown while the picture is awaited
    };

    void clearView();
    // Nothing is shown any more, nor awaited, decoded or watched for it.
    void forgetShown();
    // Goes on with the display once the file has been looked at.
    void showLooked(const QByteArray &native, const QString &path, const FileLook &look);
    void showScaled(const QByteArray &native, const QString &path);
    void showActualSize(const QByteArray &native, const QString &path);
    // What the last look said of the file; for another file, nothing that would be trusted.
    FileIdentity identityOf(const QByteArray &native) const
    {
        return native == m_lookedAt ? m_look.identity : FileIdentity();
    }
    // The last look, when it was at this file; else an empty one.
    FileLook lookOf(const QByteArray &native) const
    {
        return native == m_lookedAt ? m_look : FileLook();
    }
    // The decoded picture for the request, waiting a bounded time; none when it will come later
    // (the display is then pending).
    std::optional<LoadedPicture> obtain(const Request &request, const QString &path);
    // Shows a decoded picture (or its fault), then asks for `ahead` pictures decoded ahead.
    void presentScaled(const LoadedPicture &picture, const Request &request, const QString &path,
                       int ahead);
    void presentActualSize(const LoadedPicture &picture, const Request &request,
                           const QString &path);
    // A picture too large to hold whole, shown at its own size in tiles.
    void presentTiled(const QByteArray &native, const QSize &size);
    // The picture shown in tiles could not be read, or only in part: told as for any display.
    void tellTiledFault();
    // A picture whose data ended early is shown as far as it decoded, and the list's owner told.
    void shownIncomplete(const QByteArray &native, const QString &path);
    // Asks for the tiles the view needs now and takes those decoded.
    void requestTiles();
    void writeSizeText(const QSize &pictureSize);
    // Records the file now shown (or none) for printing.
    void holdShownFile();
    // A decode is done: completes a pending display or sharpens the picture shown.
    void onDecoded();
    void requestSharper();
    void handleFailure(const LoadedPicture &picture, const QByteArray &native, const QString &path);
    // The pictures the next steps will want, `ahead` of them in the direction of travel first.
    std::vector<Request> neighbours(const QSize &atLeast, int ahead) const;
    void prefetchNeighbours(const QSize &atLeast, int ahead)
    {
        m_cache->want(neighbours(atLeast, ahead));
    }

    ShownList *m_list;
    PictureView *m_view;
    QScrollBar *m_hScroll;
    QScrollBar *m_vScroll;
    QLabel *m_pathLabel;
    StatusWriter m_writeStatus1;
    bool m_scaledpics = false;
    // The file on display (native bytes), empty when none, and its own size.
    QByteArray m_shownNative;
    QSize m_shownFullSize;
    // Held open for printing what is shown.
    ShownFile m_shownFile;
    std::optional<Pending> m_pending;
    TiledPicture m_tiled;
    // The picture shown, decoded for the grown viewing area.
    std::optional<Request> m_sharpen;
    QTimer *m_sharpenTimer;
    Stepping m_stepping;
    // An unreadable file already asked about: its re-display inside the refill that follows the
    // answer does not ask again.
    QByteArray m_alreadyAsked;
    std::unique_ptr<PictureCache> m_cache;
    // The last look at a file shown, and its file.
    FileLook m_look;
    QByteArray m_lookedAt;
    // While a picture is shown in tiles its file is watched: one replaced or cut since is shown
    // anew as it is now (or its failure told), as a new display would.
    TiledFileWatch *m_tiledWatch;
    void tiledFileChanged(const QByteArray &native);
    PictureLooks m_looks;      // its answers stop before anything else goes
    Requests m_requests{this}; // last: answers stop before anything else goes
};

} // namespace vistrel
