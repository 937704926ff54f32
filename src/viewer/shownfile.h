#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace vistrel {

class OpenedFile;

// The file of the picture on display, kept open from the moment it is shown, so that printing
// reads the very file that was shown: a file replaced, renamed or deleted on disk afterwards
// still prints as it was shown. Only a file changed in place (same file, new content) cannot be
// read back as shown; then the picture decoded for the display stands in, and the caller is
// told why.
class ShownFile
{
public:
    // The picture to print and, when it is not the shown file at its own size, why not.
    struct Picture
    {
        QImage image;
        QString note;
    };

    ShownFile() = default;
    ~ShownFile();
    ShownFile(const ShownFile &) = delete;
    ShownFile &operator=(const ShownFile &) = delete;

    // Records the file now on display (empty path: nothing shown) with the picture decoded for
    // it and the file, opened (off the caller's thread) before its picture was decoded.
    // shownAtFullSize: that picture is already the file at its own size. Touches no file.
    void hold(const QByteArray &nativePath, const QImage &shown, bool shownAtFullSize,
              std::shared_ptr<const OpenedFile> opened);

    bool isHeld() const { return !m_path.isEmpty(); }
    // Changes with every hold, so a reader can tell whether the picture is still the one it
    // read before.
    quint64 serial() const { return m_serial; }

    // The read of the held file at full resolution as far as the memory budget allows, and no
    // larger than a printer resolves over the largest sheet (a null image when nothing is
    // held): a task of its own, holding what it needs (the picture as decoded, the open file),
    // to run on another thread while the display moves on.
    std::function<Picture()> fullResolutionReader() const;
    // The picture as decoded for the display.
    QImage shownPicture() const { return m_shown; }

private:
    void release();

    // Records the file and says whether it has to be kept open.
    bool record(const QByteArray &nativePath, const QImage &shown, bool shownAtFullSize);

    QByteArray m_path;
    QImage m_shown;
    bool m_shownAtFullSize = false;
    std::shared_ptr<const OpenedFile> m_file; // null when not needed
    quint64 m_serial = 0;
};

} // namespace vistrel
