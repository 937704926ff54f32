#pragma once

#include "common/requests.h"
#include "print/printdestination.h"

#include <QObject>

namespace vistrel {

// The print preview's link to the picture shown in the main window. Reading the shown file again
// at full resolution may wait on the file's storage, so it runs off the window's thread
// (docs/design.md, "Work that may block"): a late answer arrives by fullPictureRead(), and the
// picture as shown on screen stands in until then.
// A read still to come after a while is said, once, not to answer (silent()).
class PictureLink : public QObject
{
    Q_OBJECT
public:
    explicit PictureLink(PictureSource source, QObject *parent = nullptr);

    // The main window's label and picture now; starts reading a newly shown file.
    const PrintablePicture &take();
    const PrintablePicture &current() const { return m_shown; }
    // Whether the file of the picture taken is still being read at full resolution, and whether
    // it has been said not to answer.
    bool reading() const { return m_line.isPending(); }
    // What the sheet says while a Print waits for the read.
    QString readingNotice() const;

signals:
    void fullPictureRead();
    void silent();

private:
    PictureSource m_source;
    PrintablePicture m_shown;
    bool m_silent = false;
    PendingNotice m_notice;
    Requests m_requests{this}; // last: answers stop before anything else goes
    RequestLine m_line{m_requests, &m_notice};
};

} // namespace vistrel
