#include "viewer/shownfile.h"

#include "common/errortext.h"
#include "viewer/colourprofile.h"
#include "viewer/filelook.h"
#include "viewer/pictureheader.h"
#include "viewer/pictureloader.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel {

namespace {

// The longest side of a sheet printed (Legal, 14 in) at 300 pixels to the inch, as much as a
// printer resolves of a photograph.
constexpr int printPixels = 14 * 300;

QString pixels(const QImage &image)
{
    return QStringLiteral("%1x%2 pixels").arg(image.width()).arg(image.height());
}

// The held file read again for the page; what it was shown as stands in where it cannot be.
ShownFile::Picture readAtFullResolution(const QImage &shown, bool atFullSize,
                                        const OpenedFile *file)
{
    if (atFullSize)
        return {shown, QString()};
    const auto asShown = [&shown](const QString &why) {
        return ShownFile::Picture{shown,
                                  why +
                                      QStringLiteral(", so the page holds the picture as shown on "
                                                     "screen, ") +
                                      pixels(shown) + QLatin1Char('.')};
    };
    if (!file || !file->isOpen())
        return asShown(QStringLiteral("The file could not be kept open after it was shown (%1)")
                           .arg(errorText(file ? file->error() : EBADF)));

    struct stat st = {};
    if (::fstat(file->fd(), &st) != 0 || FileIdentity::of(st) != file->identity())
        return asShown(QStringLiteral("The file was changed on disk after it was shown"));

    // The descriptor's own entry reopens the very file held, even when its name now leads
    // elsewhere or nowhere.
    const QByteArray held = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(file->fd());
    // A page needs the picture at no more than a printer resolves over the largest sheet: a
    // larger one is decoded reduced to that (a JPEG by its decoder's scaling, at least that
    // size), never whole.
    const QSize own = readPictureHeader(held).size;
    const QSize needed = own.scaled(QSize(printPixels, printPixels), Qt::KeepAspectRatio);
    const bool reduce = own.isValid() && (own.width() > printPixels || own.height() > printPixels);
    LoadLimits srgb; // what the print service takes
    srgb.colours = ColourTarget::Srgb;
    const LoadedPicture loaded = reduce ? PictureLoader::load(held, needed.expandedTo({1, 1}), srgb)
                                        : PictureLoader::loadWithinBudget(held);
    if (!loaded.ok())
        return asShown(QStringLiteral("The file could not be read again (%1)").arg(loaded.reason));
    ShownFile::Picture picture{loaded.image, QString()};
    if (loaded.image.size() != loaded.fullSize && !reduce)
        picture.note = QStringLiteral("The picture is printed at %1, reduced from its own %2x%3 "
                                      "pixels to stay within memory.")
                           .arg(pixels(loaded.image))
                           .arg(loaded.fullSize.width())
                           .arg(loaded.fullSize.height());
    return picture;
}

} // namespace

ShownFile::~ShownFile()
{
    release();
}

void ShownFile::release()
{
    m_file.reset();
    m_path.clear();
    m_shown = QImage();
}

bool ShownFile::record(const QByteArray &nativePath, const QImage &shown, bool shownAtFullSize)
{
    release();
    ++m_serial;
    if (nativePath.isEmpty())
        return false;
    m_path = nativePath;
    m_shown = shown;
    // Printing takes the picture as decoded, and the file is not needed again, unless the
    // picture was given a display's colours other than sRGB, which the print service assumes.
    m_shownAtFullSize = shownAtFullSize && displayIsSrgb();
    return !m_shownAtFullSize;
}

void ShownFile::hold(const QByteArray &nativePath, const QImage &shown, bool shownAtFullSize,
                     std::shared_ptr<const OpenedFile> opened)
{
    if (record(nativePath, shown, shownAtFullSize))
        m_file = std::move(opened);
}

std::function<ShownFile::Picture()> ShownFile::fullResolutionReader() const
{
    if (!isHeld())
        return [] { return Picture(); };
    return [shown = m_shown, atFullSize = m_shownAtFullSize, file = m_file] {
        return readAtFullResolution(shown, atFullSize, file.get());
    };
}

} // namespace vistrel
