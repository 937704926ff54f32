#include "viewer/picturedisplay.h"

#include "browse/folderbrowser.h"
#include "browse/nativename.h"
#include "browse/pathmap.h"
#include "browse/picturelistmodel.h"
#include "common/services.h"
#include "viewer/picturecache.h"
#include "viewer/picturegeometry.h"
#include "viewer/pictureloader.h"
#include "viewer/pictureview.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vistrel {
namespace {

const QString errorTitle()
{
    return QStringLiteral("ERROR!");
}

const QString deleteTitle()
{
    return QStringLiteral("DELETE FILE");
}

// Arrow steps of the scroll bars, in pixels.
constexpr int scrollStep = 16;

} // namespace

PictureDisplay::PictureDisplay(FolderBrowser *browser, PictureView *view, QScrollBar *hScroll,
                               QScrollBar *vScroll, QLabel *pathLabel, StatusWriter writeStatus1,
                               QObject *parent)
    : QObject(parent), m_browser(browser), m_view(view), m_hScroll(hScroll), m_vScroll(vScroll),
      m_pathLabel(pathLabel), m_writeStatus1(std::move(writeStatus1)),
      m_cache(std::make_unique<PictureCache>())
{
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
    m_view->image1()->setEnabled(false);
    m_view->image1()->hide();
    m_view->picture1()->hide();
    m_view->picture1()->setEnabled(false);
    m_hScroll->hide();
    m_vScroll->hide();
}

void PictureDisplay::SortedList_Click()
{
    PictureListModel *list = m_browser->list();
    m_browser->setCurslide(list->listIndex());
    clearView();
    m_view->setToolTip(QString());
    m_shownNative.clear();
    if (list->listIndex() < 0 || list->text().isEmpty()) {
        // Nothing selected: there is no file to show, and the folder itself is never offered
        // for deletion.
        m_pathLabel->setText(QString());
        return;
    }
    const QString path = m_browser->currentPicturePath();
    const QByteArray native = m_browser->currentNativePath();
    m_pathLabel->setText(path);
    if (m_scaledpics)
        showScaled(native, path);
    else
        showActualSize(native, path);
    m_shownFile.hold(m_shownNative,
                     m_scaledpics ? m_view->image1()->picture() : m_view->picture1()->picture(),
                     !m_scaledpics);
}

void PictureDisplay::showScaled(const QByteArray &native, const QString &path)
{
    StretchedImage *image1 = m_view->image1();
    m_view->picture1()->hide();
    image1->setEnabled(true);
    image1->show();

    // Decode once, straight to (about) the size shown; the full picture is read only for print.
    const QSize shown = image1->size().expandedTo(QSize(1, 1));
    LoadedPicture picture;
    {
        BusyCursor busy;
        picture = loadShown(native, shown);
    }
    if (!picture.ok()) {
        handleFailure(picture, native, path);
        return;
    }
    image1->setPicture(picture.image);
    m_view->picture1()->setPicture(QImage());
    m_shownNative = native;
    if (picture.incomplete)
        m_view->setToolTip(QStringLiteral("The picture is incomplete"));
    if (m_writeStatus1)
        m_writeStatus1(sizeText(image1->height(), image1->width(),
                                pixelsToHimetric(picture.fullSize.height()),
                                pixelsToHimetric(picture.fullSize.width())));
    prefetchNeighbours(shown);
}

void PictureDisplay::showActualSize(const QByteArray &native, const QString &path)
{
    ActualPicture *picture1 = m_view->picture1();
    m_view->image1()->hide();
    picture1->show();
    picture1->setEnabled(true);
    picture1->setLeft(1);
    picture1->setTop(1);

    LoadedPicture picture;
    {
        BusyCursor busy;
        picture = loadShown(native, QSize());
    }
    if (!picture.ok()) {
        handleFailure(picture, native, path);
        return;
    }
    picture1->setPicture(picture.image);
    m_shownNative = native;
    if (picture.incomplete)
        m_view->setToolTip(QStringLiteral("The picture is incomplete"));

    const QSize area = m_view->innerSize();
    const ActualPlacement place = placeActualSize(picture.image.size(), area);
    picture1->setLeft(place.left);
    picture1->setTop(place.top);
    // The bars keep their values between pictures; a shorter range only clamps the value
    // without moving the picture now placed.
    if (place.horizontalBar) {
        const QSignalBlocker block(m_hScroll);
        m_hScroll->setRange(0, place.horizontalMax);
        m_hScroll->setPageStep(qMax(1, area.width()));
        m_hScroll->show();
    }
    if (place.verticalBar) {
        const QSignalBlocker block(m_vScroll);
        m_vScroll->setRange(0, place.verticalMax);
        m_vScroll->setPageStep(qMax(1, area.height()));
        m_vScroll->show();
    }
    prefetchNeighbours(QSize());
}

LoadedPicture PictureDisplay::loadShown(const QByteArray &native, const QSize &atLeast)
{
    return m_cache->load({native, atLeast});
}

QByteArray PictureDisplay::nativePathOf(int index) const
{
    const PictureEntry *entry = m_browser->list()->entry(index);
    if (!entry)
        return {};
    return joinFolderAndName(toNative(m_browser->currentFolder()), entry->nativeName);
}

void PictureDisplay::prefetchNeighbours(const QSize &atLeast)
{
    // The next entry (wrapping round, as the slide show does) first, then the previous one; at
    // full size only the next, as such decodes are large.
    const PictureListModel *list = m_browser->list();
    const int count = list->count();
    const int index = list->listIndex();
    if (count < 2 || index < 0)
        return;
    std::vector<PictureCache::Request> wanted;
    wanted.push_back({nativePathOf((index + 1) % count), atLeast});
    if (atLeast.isValid() && count > 2)
        wanted.push_back({nativePathOf((index + count - 1) % count), atLeast});
    m_cache->prefetch(std::move(wanted));
}

void PictureDisplay::handleFailure(const LoadedPicture &picture, const QByteArray &native,
                                   const QString &path)
{
    switch (picture.error) {
    case LoadedPicture::Unreadable:
        askToDeleteUnreadable(native, path);
        return;
    case LoadedPicture::FileNotFound:
        prompter().critical(QStringLiteral("File not found: ") + path, errorTitle());
        m_browser->list()->setListIndex(-1);
        return;
    default: {
        // Permission denied, too large for memory, any other failure: said, and the program
        // goes on with nothing selected. A picture refused for memory is no damaged file: the
        // message says so, and it is never offered for deletion.
        QString prompt = QString::number(picture.error);
        if (picture.error == LoadedPicture::OutOfMemory)
            prompt +=
                QStringLiteral("\n\nNot enough memory to show %1: %2.").arg(path, picture.reason);
        prompter().critical(prompt, errorTitle());
        m_browser->list()->setListIndex(-1);
        return;
    }
    }
}

void PictureDisplay::askToDeleteUnreadable(const QByteArray &native, const QString &path)
{
    if (native == m_alreadyAsked) {
        // Shown again by the refill that followed the answer: the view stays cleared.
        clearView();
        return;
    }
    if (prompter().askYesNo(QStringLiteral("ERROR Reading file (Delete?): ") + path, deleteTitle()))
        removeFile(native, path);

    const QByteArray outer = m_alreadyAsked;
    m_alreadyAsked = native;
    m_browser->rereadAndRefill();
    m_alreadyAsked = outer;

    PictureListModel *list = m_browser->list();
    const int index = list->listIndex();
    m_browser->setCurslide(index == 0 || index > list->count() ? 1 : index);
    if (index < 0) {
        // The refill selected nothing: nothing is shown either, not the picture before.
        clearView();
        m_pathLabel->setText(QString());
        m_shownNative.clear();
    }
}

void PictureDisplay::removeFile(const QByteArray &native, const QString &path)
{
    if (::unlink(native.constData()) == 0)
        return;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    prompter().critical(QStringLiteral("Could not delete file: ") + path + QStringLiteral(" (") +
                            reason + QLatin1Char(')'),
                        deleteTitle());
}

void PictureDisplay::deletepicture()
{
    PictureListModel *list = m_browser->list();
    const int index = list->listIndex();
    if (list->text().isEmpty())
        return;
    const QString path = m_browser->currentPicturePath();
    const QByteArray native = m_browser->currentNativePath();
    if (prompter().askYesNo(QStringLiteral("Delete file: ") + path, deleteTitle()))
        removeFile(native, path);
    // Also after No or a failed delete, so the list matches the disk.
    m_browser->rereadAndRefill();
    const int count = list->count();
    if (count > 0)
        list->setListIndex(index < count ? index : count - 1);
}

void PictureDisplay::hidePicture()
{
    m_view->image1()->hide();
    m_view->picture1()->hide();
    m_shownNative.clear();
}

void PictureDisplay::onContainerResized()
{
    m_view->fitImage1();
    m_hScroll->hide();
    m_vScroll->hide();
}

void PictureDisplay::HScroll1_Change(int value)
{
    m_view->picture1()->setLeft(scrollPosition(value));
}

void PictureDisplay::VScroll1_Change(int value)
{
    m_view->picture1()->setTop(scrollPosition(value));
}

} // namespace vistrel
