#pragma once

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <functional>
#include <memory>

namespace vistrel {

class ShownFile;

// What became of a document handed over for printing.
struct HandOverOutcome
{
    // Why the print system did not take the job, as a clause that completes "The page could not
    // be printed: "; empty when it took it.
    QString failure;
    // A sentence for the user about a job taken that does not print yet (one the printer holds
    // for release); empty otherwise.
    QString notice;
};

// Where a printed page goes: a printer of the print system or, in tests, a file. The page is
// laid out on the destination's sheet and handed over as a finished PDF document.
class PrintDestination
{
public:
    virtual ~PrintDestination() = default;

    // The printer's name as the user knows it.
    virtual QString name() const = 0;
    // The sheet pages are laid out on (the printer's default paper), without margins.
    virtual QPageLayout paper() const = 0;
    // Hands the document over for printing. May wait on the print service: called off the
    // window's thread, and the document is not removed before it returns.
    virtual HandOverOutcome handOver(const QString &pdfPath, const QString &title) = 0;
};

// The outcome of looking for a printer: one, or a sentence for the user saying why there is
// none (no printer installed, or the print service not reachable).
struct DestinationLookup
{
    std::shared_ptr<PrintDestination> destination;
    QString problem;
};

// Looks for the printer; may wait on the print service, so it runs off the window's thread.
using DestinationFinder = std::function<DestinationLookup()>;

// The sheet used where no printer says otherwise: Letter where the user's locale measures in
// inches, A4 elsewhere.
QPageSize localePaper();

// The shown file read again at full resolution, and why it is not that when it is not.
struct FullPicture
{
    QImage image;
    QString note;
};

// What one drawing of the page shows: the main window's path label and its picture, taken
// together at the same moment so that the footer always names the picture drawn.
struct PrintablePicture
{
    QString label;
    QImage image;       // full resolution as far as memory allows; null when nothing is shown
    QString note;       // why the image is not the shown file at its own size, when it is not
    quint64 serial = 0; // the display it came from (0: none)
    // When set, image is the picture as shown on screen and the file is still to be read at
    // full resolution: this reads it, on any thread, as it may wait on the file's storage.
    std::function<FullPicture()> fullRead;
};

// Returns what is shown now; previous is what the last drawing took, so an unchanged picture is
// not read again.
using PictureSource = std::function<PrintablePicture(const PrintablePicture &previous)>;

// The main window's label and the file it holds on display, taken together. The full-resolution
// picture is to be read (fullRead) only when the display changed since previous.
PrintablePicture takePrintable(const QString &label, const ShownFile *shown,
                               const PrintablePicture &previous);

} // namespace vistrel
