#pragma once

#include "common/requests.h"
#include "print/printdestination.h"

#include <QObject>
#include <QPageLayout>
#include <QString>

#include <memory>

namespace vistrel {

// The print preview's link to the printer. Looking for the printer and handing a page over both
// wait on the print service, which may be slow or not answer at all, so they run off the
// window's thread (docs/design.md, "Work that may block"): a late answer arrives by a signal.
class PrinterLink : public QObject
{
    Q_OBJECT
public:
    explicit PrinterLink(DestinationFinder finder, QObject *parent = nullptr);
    ~PrinterLink() override;

    // Starts looking for the printer, unless a lookup is under way; lookedUp() follows.
    void lookUp();
    bool lookingUp() const { return m_lookup.isPending(); }
    bool handingOver() const { return m_handOver.isPending(); }

    // The printer found by the last lookup; null while none was found.
    PrintDestination *printer() const { return m_printer.get(); }
    // Why the last lookup found no printer.
    QString problem() const { return m_problem; }
    // The sheet to lay the page out on: the printer's paper, or the locale's without one.
    QPageLayout paper() const;

    // Hands the document at pdfPath to the printer found and removes the file afterwards;
    // handedOver() follows. Only with a printer and while no hand-over is under way.
    void handOver(const QString &pdfPath, const QString &title);

signals:
    void lookedUp();
    void handedOver(const vistrel::HandOverOutcome &outcome);

private:
    void takeLookup(DestinationLookup found);
    void takeOutcome(HandOverOutcome outcome);

    DestinationFinder m_finder;
    std::shared_ptr<PrintDestination> m_printer;
    QString m_problem;
    Requests m_requests{this}; // last: its late answers go before the state they touch
    RequestLine m_lookup{m_requests};
    RequestLine m_handOver{m_requests};
};

} // namespace vistrel
