#pragma once

#include "common/fileidentity.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vistrel {

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
    // it. shownAtFullSize: that picture is already the file at its own size.
    void hold(const QByteArray &nativePath, const QImage &shown, bool shownAtFullSize);

    bool isHeld() const { return !m_path.isEmpty(); }
    // Changes with every hold, so a reader can tell whether the picture is still the one it
    // read before.
    quint64 serial() const { return m_serial; }

    // The held file at full resolution as far as the memory budget allows, and no larger than
    // a printer resolves over the largest sheet; a null image when nothing is held.
    Picture fullResolution() const;

private:
    void release();

    QByteArray m_path;
    QImage m_shown;
    bool m_shownAtFullSize = false;
    int m_fd = -1;
    int m_openError = 0;
    FileIdentity m_identity; // of the file when it was shown
    quint64 m_serial = 0;
};

} // namespace vistrel
