#include "print/printerlink.h"

#include <QFile>

namespace vistrel {
namespace {

// The place of every request to the print service: one that does not answer holds up one
// thread, and the requests after it wait for it to answer.
Request printService()
{
    return Request(QStringLiteral("the print service"));
}

} // namespace

PrinterLink::PrinterLink(DestinationFinder finder, QObject *parent)
    : QObject(parent), m_finder(std::move(finder))
{}

PrinterLink::~PrinterLink() = default;

void PrinterLink::lookUp()
{
    if (lookingUp())
        return;
    DestinationFinder finder = m_finder;
    std::optional<DestinationLookup> quick = m_lookup.run<DestinationLookup>(
        printService(), [finder] { return finder ? finder() : DestinationLookup(); },
        [this](DestinationLookup found) { takeLookup(std::move(found)); });
    if (quick)
        takeLookup(std::move(*quick));
}

void PrinterLink::takeLookup(DestinationLookup found)
{
    m_printer = std::move(found.destination);
    m_problem = found.problem;
    if (!m_printer && m_problem.isEmpty())
        m_problem = QStringLiteral("No printer is installed. Add a printer in the system's "
                                   "printer settings, then print again.");
    emit lookedUp();
}

QPageLayout PrinterLink::paper() const
{
    // Without a printer the preview still shows a sheet; Print then says why nothing prints.
    return m_printer ? m_printer->paper()
                     : QPageLayout(localePaper(), QPageLayout::Portrait, QMarginsF());
}

void PrinterLink::handOver(const QString &pdfPath, const QString &title)
{
    if (!m_printer || handingOver()) {
        QFile::remove(pdfPath);
        return;
    }
    // The printer object lives as long as the hand-over, whatever happens to this link.
    std::optional<HandOverOutcome> quick = m_handOver.run<HandOverOutcome>(
        printService(),
        [printer = m_printer, pdfPath, title] {
            const HandOverOutcome outcome = printer->handOver(pdfPath, title);
            QFile::remove(pdfPath);
            return outcome;
        },
        [this](HandOverOutcome outcome) { takeOutcome(std::move(outcome)); });
    if (quick)
        takeOutcome(std::move(*quick));
}

void PrinterLink::takeOutcome(HandOverOutcome outcome)
{
    emit handedOver(outcome);
}

} // namespace vistrel
