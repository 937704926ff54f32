#pragma once

#include "print/printdestination.h"

#include <QByteArray>
#include <QPageSize>

namespace vistrel {

// A printer of the system's print service, reached through the service's own library so that
// the program knows whether a page was really taken: the job's number and state and the
// printer's enabled and accepting states, which a toolkit's printing hides.
class CupsPrinter : public PrintDestination
{
public:
    // The default printer (the user's or the system's); without one, the only or first printer
    // installed. When there is none, says whether none is installed or the service is down.
    static DestinationLookup find();

    QString name() const override;
    QPageLayout paper() const override;
    HandOverOutcome handOver(const QString &pdfPath, const QString &title) override;

private:
    CupsPrinter(QByteArray name, QByteArray instance, QPageSize paper, QByteArray media);

    QByteArray m_name;
    QByteArray m_instance;
    QPageSize m_paper;
    QByteArray m_media; // the paper's name in the print service's terms
};

} // namespace vistrel
