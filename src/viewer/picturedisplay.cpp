#include "viewer/picturedisplay.h"

#include "common/nativename.h"
#include "common/services.h"
#include "common/shownname.h"
#include "viewer/decodeahead.h"
#include "viewer/picturegeometry.h"
#include "viewer/pictureheader.h"
#include "viewer/pictureloader.h"
#include "viewer/pictureview.h"
#include "viewer/shownlist.h"
#include "viewer/tiledfilewatch.h"

#include <QLabel>
#include <QScrollBar>
#include <QTimer>

namespace vistrel {
namespace {

// Arrow steps of the scroll bars, in pixels.
constexpr int scrollStep = 16;

using namespace decodeahead;

// Quiet time after the last resize step before the picture is decoded for the new size.
constexpr int sharpenDelayMs = 100;

} // namespace

PictureDisplay::PictureDisplay(ShownList *list, PictureView *view, QScrollBar *hScroll,
                               QScrollBar *vScroll, QLabel *pathLabel, StatusWriter writeStatus1,
                               QObject *parent)
    : QObject(parent), m_list(list), m_view(view), m_hScroll(hScroll), m_vScroll(vScroll),
      m_pathLabel(pathLabel), m_writeStatus1(std::move(writeStatus1)),
      m_sharpenTimer(new QTimer(this)), m_tiledWatch(new TiledFileWatch(this))
{
    connect(m_tiledWatch, &TiledFileWatch::changed, this, &PictureDisplay::tiledFileChanged);
    setDecoder({});
    m_sharpenTimer->setSingleShot(true);
    m_sharpenTimer->setInterval(sharpenDelayMs);
    connect(m_sharpenTimer, &QTimer::timeout, this, &PictureDisplay::requestSharper);
    // The picture follows the thumb while it is dragged, not only when it is let go.
    connect(m_hScroll, &QScrollBar::valueChanged, this, &PictureDisplay::HScroll1_Change);
    connect(m_hScroll, &QScrollBar::sliderMoved, this, &PictureDisplay::HScroll1_Change);
    connect(m_vScroll, &QScrollBar::valueChanged, this, &PictureDisplay::VScroll1_Change);
    connect(m_vScroll, &QScrollBar::sliderMoved, this, &PictureDisplay::VScroll1_Change);
    m_hScroll->setSingleStep(scrollStep);
    m_vScroll->setSingleStep(scrollStep);
    endRunOnEscape(m_view);
    endRunOnEscape(m_view->picture1());
}

PictureDisplay::~PictureDisplay() = default;

void PictureDisplay::setDecoder(PictureCache::Decoder decoder)
{
    m_cache = std::make_unique<PictureCache>(PictureCache::defaultBudgetBytes, std::move(decoder));
    // Decodes end on worker threads; the result is taken up on this one.
    m_cache->setOnDecoded([this] {
        QMetaObject::invokeMethod(this, &PictureDisplay::onDecoded, Qt::QueuedConnection);
    });
}

void PictureDisplay::setScaledPics(bool on)
{
    m_scaledpics = on;
    emit scaledPicsChanged(on);
}

void PictureDisplay::toggleScaleToFit()
{
    setScaledPics(!m_scaledpics);
    SortedList_Click();
}

void PictureDisplay::clearView()
{
    m_view->hideDisplays();
    m_hScroll->hide();
    m_vScroll->hide();
}

void PictureDisplay::SortedList_Click()
{
    const int index = m_list->index();
    m_list->setCurslide(index);
    clearView();
    m_view->setToolTip(QString());
    forgetShown();
    m_stepping.begin(index, m_list->count());
    const QString path = m_list->path(index);
    if (path.isEmpty()) {
        // Nothing selected: there is no file to show, and the folder itself is never offered
        // for deletion.
        m_pathLabel->setText(QString());
        return;
    }
    const QByteArray native = m_list->nativePath(index);
    m_pathLabel->setText(shownname::visible(path)); // one line, every character seen
    m_view->prepareFor(m_scaledpics);
    const std::optional<FileLook> look =
        m_looks.look(native, path, [this, native, path](const FileLook &late) {
            showLooked(native, path, late);
            holdShownFile();
        });
    if (look) {
        showLooked(native, path, *look);
        holdShownFile();
    }
    m_stepping.end();
}

void PictureDisplay::showLooked(const QByteArray &native, const QString &path, const FileLook &look)
{
    m_look = look;
    m_lookedAt = native;
    if (m_scaledpics)
        showScaled(native, path);
    else
        showActualSize(native, path);
}

void PictureDisplay::showScaled(const QByteArray &native, const QString &path)
{
    StretchedImage *image1 = m_view->image1();
    // Decode once, straight to (about) the size shown; the full picture is read only for print.
    // Until it is there, the previous picture stays in view.
    const Request request{native, image1->size().expandedTo(QSize(1, 1))};
    if (const std::optional<LoadedPicture> picture = obtain(request, path))
        presentScaled(*picture, request, path, m_stepping.fast() ? aheadFast : aheadSlow);
}

void PictureDisplay::presentScaled(const LoadedPicture &picture, const Request &request,
                                   const QString &path, int ahead)
{
    if (!picture.ok()) {
        handleFailure(picture, request.nativePath, path);
        return;
    }
    m_view->image1()->setPicture(picture.image);
    m_view->picture1()->setPicture(QImage());
    m_shownNative = request.nativePath;
    m_shownFullSize = picture.fullSize;
    m_cache->setShown(request);
    writeSizeText(picture.fullSize);
    prefetchNeighbours(request.atLeast, ahead);
    if (picture.incomplete)
        shownIncomplete(request.nativePath, path);
}

void PictureDisplay::shownIncomplete(const QByteArray &native, const QString &path)
{
    m_view->setToolTip(QStringLiteral("The picture is incomplete"));
    m_list->shownIncomplete(native, path, lookOf(native));
}

void PictureDisplay::holdShownFile()
{
    // The file as the look opened it: holding it touches no file.
    m_shownFile.hold(
        m_shownNative, m_scaledpics ? m_view->image1()->picture() : m_view->picture1()->picture(),
        !m_scaledpics && !m_tiled.isActive(), m_shownNative == m_lookedAt ? m_look.file : nullptr);
}

void PictureDisplay::writeSizeText(const QSize &pictureSize)
{
    const StretchedImage *image1 = m_view->image1();
    if (m_writeStatus1)
        m_writeStatus1(sizeText(image1->height(), image1->width(),
                                pixelsToHimetric(pictureSize.height()),
                                pixelsToHimetric(pictureSize.width())));
}

void PictureDisplay::showActualSize(const QByteArray &native, const QString &path)
{
    const PictureHeader &header = m_look.header;
    if (TiledPicture::suits(header)) {
        presentTiled(native, header.size);
        return;
    }
    const Request request{native, QSize(), QRect()};
    if (const std::optional<LoadedPicture> picture = obtain(request, path))
        presentActualSize(*picture, request, path);
}

void PictureDisplay::presentTiled(const QByteArray &native, const QSize &size)
{
    m_view->picture1()->setTiled(size);
    m_shownNative = native;
    m_shownFullSize = size;
    m_tiled.start(native, size, identityOf(native));
    placeActualPicture(m_view->picture1(), size, m_view->innerSize(), m_hScroll, m_vScroll);
    requestTiles();
    m_tiled.waitForVisible(*m_cache, m_view->picture1(), quickWait);
    m_tiledWatch->watch(native, identityOf(native));
    if (m_tiled.damaged())
        m_view->setToolTip(QStringLiteral("The picture is incomplete"));
    tellTiledFault();
}

void PictureDisplay::tellTiledFault()
{
    const std::optional<LoadedPicture> overview = m_tiled.takeOverviewFault();
    const QByteArray native = m_tiled.nativePath();
    if (!overview || m_list->nativePath(m_list->index()) != native)
        return;
    // Told as a click on the file tells it, once: its outcome is the overview's.
    const QString path = m_list->path(m_list->index());
    if (overview->ok()) {
        shownIncomplete(native, path);
        return;
    }
    forgetShown(); // its file is not watched any more
    handleFailure(*overview, native, path);
}

void PictureDisplay::requestTiles()
{
    m_tiled.request(*m_cache, m_view->picture1(), neighbours(QSize(), aheadSlow));
}

void PictureDisplay::presentActualSize(const LoadedPicture &picture, const Request &request,
                                       const QString &path)
{
    ActualPicture *picture1 = m_view->picture1();
    if (!picture.ok()) {
        handleFailure(picture, request.nativePath, path);
        return;
    }
    picture1->setPicture(picture.image);
    m_shownNative = request.nativePath;
    m_shownFullSize = picture.fullSize;
    m_cache->setShown(request);
    placeActualPicture(picture1, picture.image.size(), m_view->innerSize(), m_hScroll, m_vScroll);
    prefetchNeighbours(QSize(), 1);
    if (picture.incomplete)
        shownIncomplete(request.nativePath, path);
}

std::optional<LoadedPicture> PictureDisplay::obtain(const Request &request, const QString &path)
{
    const FileIdentity known = identityOf(request.nativePath);
    if (std::optional<LoadedPicture> made = m_cache->find(request, known))
        return made;
    std::vector<Request> wanted{request};
    for (Request &r :
         neighbours(request.atLeast,
                    m_stepping.fast() && request.atLeast.isValid() ? aheadFast : aheadSlow))
        wanted.push_back(std::move(r));
    m_cache->want(std::move(wanted));

    // The window's thread waits at most about a frame; anything longer is presented by a
    // queued call when its decode is stored, the busy cursor showing until then.
    if (std::optional<LoadedPicture> done = m_cache->waitFor(request, quickWait, known))
        return done;
    m_pending = Pending{request, path, std::make_shared<BusyCursor>()};
    if (m_scaledpics && m_look.header.valid)
        writeSizeText(m_look.header.size);
    return std::nullopt;
}

void PictureDisplay::onDecoded()
{
    if (m_sharpen) {
        if (std::optional<LoadedPicture> sharper =
                m_cache->find(*m_sharpen, identityOf(m_sharpen->nativePath))) {
            // A failure here leaves the stretched picture in view; nothing is reported.
            const Request request = *m_sharpen;
            m_sharpen.reset();
            if (sharper->ok() && request.nativePath == m_shownNative) {
                m_view->image1()->setPicture(sharper->image);
                m_cache->setShown(request);
            }
            prefetchNeighbours(request.atLeast, aheadSlow);
        }
    }
    if (m_tiled.isActive()) {
        if (m_tiled.damaged())
            m_view->setToolTip(QStringLiteral("The picture is incomplete"));
        m_tiled.collect(*m_cache, m_view->picture1());
        tellTiledFault();
    }
    if (!m_pending)
        return;
    std::optional<LoadedPicture> picture =
        m_cache->find(m_pending->request, identityOf(m_pending->request.nativePath));
    if (!picture)
        return;
    Pending pending = std::move(*m_pending);
    m_pending.reset();
    pending.busy.reset(); // before any question about the picture
    if (pending.request.atLeast.isValid())
        presentScaled(*picture, pending.request, pending.path, aheadSlow);
    else
        presentActualSize(*picture, pending.request, pending.path);
    holdShownFile();
}

void PictureDisplay::requestSharper()
{
    m_sharpen.reset();
    if (!m_scaledpics || m_shownNative.isEmpty() || m_pending)
        return;
    const QSize area = m_view->image1()->size();
    const QSize held = m_view->image1()->picture().size();
    // Sharp already, or there is nothing sharper to decode.
    if (held.isEmpty() || (held.width() >= area.width() && held.height() >= area.height()) ||
        held == m_shownFullSize)
        return;
    m_sharpen = Request{m_shownNative, area};
    m_cache->want({*m_sharpen});
    onDecoded(); // decoded for this size before
}

std::vector<PictureCache::Request> PictureDisplay::neighbours(const QSize &atLeast, int ahead) const
{
    // At full size only the next, as such decodes are large; the one behind only when it was not
    // just passed on the way.
    return neighbourRequests(*m_list, *m_cache, m_stepping.direction(), atLeast, ahead,
                             atLeast.isValid() && !m_stepping.fast());
}

void PictureDisplay::handleFailure(const LoadedPicture &picture, const QByteArray &native,
                                   const QString &path)
{
    // Nothing of the picture before stays in view at actual size, nor an empty box where it was.
    m_view->picture1()->setPicture(QImage());
    m_view->picture1()->hide();
    emit pictureFailed(m_list->index());
    if (picture.error == LoadedPicture::Unreadable && native == m_alreadyAsked) {
        // Shown again by the refill that followed the question: the view stays cleared.
        clearView();
        return;
    }
    const QByteArray outer = m_alreadyAsked;
    m_alreadyAsked = native;
    m_list->cannotShow(picture, native, path, lookOf(native));
    m_alreadyAsked = outer;
    if (m_list->index() < 0) {
        // Nothing is selected now: nothing is shown either, not the picture before.
        clearView();
        m_pathLabel->setText(QString());
        m_shownNative.clear();
    }
}

void PictureDisplay::tiledFileChanged(const QByteArray &native)
{
    // Shown anew only while the same picture is still shown in tiles.
    if (m_tiled.isActive() && m_tiled.nativePath() == native &&
        m_list->nativePath(m_list->index()) == native)
        SortedList_Click();
}

void PictureDisplay::hidePicture()
{
    m_view->image1()->hide();
    m_view->picture1()->hide();
    forgetShown();
}

void PictureDisplay::forgetShown()
{
    m_shownNative.clear();
    m_looks.drop();
    m_pending.reset();
    m_tiled.stop();
    m_tiledWatch->stop();
    m_sharpen.reset();
    m_sharpenTimer->stop();
}

void PictureDisplay::onContainerResized()
{
    m_view->fitImage1();
    m_hScroll->hide();
    m_vScroll->hide();
    // Each step only stretches what is held; a sharper decode waits until the resizing pauses.
    if (m_scaledpics && !m_shownNative.isEmpty())
        m_sharpenTimer->start();
}

void PictureDisplay::HScroll1_Change(int value)
{
    m_view->picture1()->setLeft(scrollPosition(value));
    if (m_tiled.isActive())
        requestTiles();
}

void PictureDisplay::VScroll1_Change(int value)
{
    m_view->picture1()->setTop(scrollPosition(value));
    if (m_tiled.isActive())
        requestTiles();
}

} // namespace vistrel
