// The dialog's printing: the page as the boxes say, drawn into a document and handed over to the
// printer found.

#include "print/printpreviewdialog.h"

#include "common/services.h"
#include "print/paperimage.h"
#include "print/picturelink.h"
#include "print/printerlink.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryFile>

namespace vistrel {
namespace {

// Dots per inch of the printed document: the picture keeps its own pixels up to this density.
constexpr int printResolution = 1200;

const QString printTitle = QStringLiteral("PRINT");

} // namespace

bool PrintPreviewDialog::printPage()
{
    const std::optional<PageParams> page = readBoxes();
    if (!page)
        return false;
    takeShownPicture();
    if (m_pictures->current().image.isNull()) {
        prompter().inform(QStringLiteral("There is no picture to print. Choose a picture in the "
                                         "main window first."),
                          printTitle);
        return false;
    }
    if (m_link->handingOver() || m_printWhenFound || m_printWhenRead)
        return false; // one page at a time
    if (m_pictures->reading()) {
        m_printWhenRead = page;
        m_picture1->setNotice(m_pictures->readingNotice());
        return false;
    }
    return printTaken(*page);
}

bool PrintPreviewDialog::printTaken(const PageParams &page)
{
    // The sheet the user saw, when one was drawn.
    const std::optional<QPageLayout> seen =
        m_drawnPage ? std::optional<QPageLayout>(m_paper) : std::nullopt;
    // The service may have come up, or a printer been added, since the window opened.
    if (!m_link->printer())
        m_link->lookUp();
    if (m_link->lookingUp()) {
        m_printWhenFound = page;
        m_sheetSeen = seen;
        m_picture1->setNotice(QStringLiteral("Looking up the printer: the page prints once it "
                                             "is found..."));
        return false;
    }
    return printOnFoundPrinter(seen, page);
}

bool PrintPreviewDialog::printOnFoundPrinter(const std::optional<QPageLayout> &seen,
                                             const PageParams &page)
{
    PrintDestination *printer = m_link->printer();
    if (!printer) {
        prompter().critical(m_link->problem(), errorTitle());
        return false;
    }
    if (seen && (!m_paper.pageSize().isEquivalentTo(seen->pageSize()) ||
                 m_paper.orientation() != seen->orientation())) {
        prompter().inform(QStringLiteral("The preview now shows the paper of the printer "
                                         "\"%1\". Check the page, then print again.")
                              .arg(printer->name()),
                          printTitle);
        return false;
    }
    const QString failure = printDocument(page);
    if (!failure.isEmpty()) {
        prompter().critical(QStringLiteral("The page could not be printed: ") + failure +
                                QLatin1Char('.'),
                            errorTitle());
        return false;
    }
    if (m_link->handingOver()) {
        m_lateHandOver = true;
        m_command3->setEnabled(false);
        m_picture1->setNotice(QStringLiteral("Handing the page to the printer..."));
    }
    return m_printed;
}

void PrintPreviewDialog::pageHandedOver(const HandOverOutcome &outcome)
{
    m_command3->setEnabled(true);
    m_picture1->setNotice(QString());
    if (!outcome.failure.isEmpty()) {
        m_lateHandOver = false;
        prompter().critical(QStringLiteral("The page could not be printed: ") + outcome.failure +
                                QLatin1Char('.'),
                            errorTitle());
        return;
    }
    m_printed = true;
    if (!outcome.notice.isEmpty())
        prompter().inform(outcome.notice, printTitle);
    if (const QString &note = m_pictures->current().note; !note.isEmpty())
        prompter().inform(note, printTitle);
    // Taken late, after Print returned: the window closes now, as it would have then.
    if (std::exchange(m_lateHandOver, false))
        accept();
}

QString PrintPreviewDialog::printDocument(const PageParams &page)
{
    QTemporaryFile pdf(QDir::tempPath() + QStringLiteral("/vistrel-print-XXXXXX.pdf"));
    // Removed by the hand-over once the print service has read it.
    pdf.setAutoRemove(false);
    auto removeUnsent = qScopeGuard([&pdf] { pdf.remove(); });
    if (!pdf.open())
        return QStringLiteral("the page could not be written to a temporary file (%1)")
            .arg(pdf.errorString());
    const QString name = QFileInfo(m_pictures->current().label).fileName();
    const QString title = name.isEmpty() ? QStringLiteral("Vistrel") : name;
    {
        QPdfWriter writer(&pdf);
        writer.setCreator(QStringLiteral("Vistrel"));
        writer.setTitle(title);
        writer.setResolution(printResolution);
        // The sheet's corner is the origin, as on the paper image, so the ink lands where the
        // preview shows it.
        writer.setPageLayout(m_paper);
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("the page could not be drawn");
        const QRectF sheet = m_paper.fullRect(QPageLayout::Inch);
        drawpage(painter, writer.width() / sheet.width(), writer.height() / sheet.height(),
                 sheet.width(), 1.0, page);
        if (!painter.end())
            return QStringLiteral("the page could not be drawn");
    }
    if (!pdf.flush() || pdf.error() != QFileDevice::NoError)
        return QStringLiteral("the page could not be written to a temporary file (%1)")
            .arg(pdf.errorString());
    pdf.close();
    removeUnsent.dismiss();
    m_link->handOver(pdf.fileName(), title);
    return QString();
}

} // namespace vistrel
