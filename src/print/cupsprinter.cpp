#include "print/cupsprinter.h"

#include <QFile>

#include <cups/cups.h>

#include <memory>

namespace vistrel {

namespace {

// A local scheduler answers at once; these only bound how long a hung one can hold the window.
constexpr int connectTimeoutMs = 5000;
constexpr double requestTimeoutSeconds = 20.0;

struct HttpCloser
{
    void operator()(http_t *http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

struct IppDeleter
{
    void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

struct DestFree
{
    int count = 1;
    void operator()(cups_dest_t *dests) const { cupsFreeDests(count, dests); }
};
using Dests = std::unique_ptr<cups_dest_t, DestFree>;

struct InfoFree
{
    void operator()(cups_dinfo_t *info) const { cupsFreeDestInfo(info); }
};
using DestInfo = std::unique_ptr<cups_dinfo_t, InfoFree>;

QString lastError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

QString quoted(const QByteArray &name)
{
    return QLatin1Char('"') + QString::fromUtf8(name) + QLatin1Char('"');
}

QString serviceDown(const QString &reason)
{
    return QStringLiteral("the print service is not running (%1)").arg(reason);
}

// A connection to the print service, or where nothing answered.
Http connectToService(QString &nothingAt)
{
    const char *server = cupsServer();
    http_t *http = httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                connectTimeoutMs, nullptr);
    if (!http) {
        // The library's own error text here is a generic "Host is down"; where it looked says
        // more.
        const QString where =
            server[0] == '/'
                ? QString::fromLocal8Bit(server)
                : QStringLiteral("%1 port %2").arg(QString::fromLocal8Bit(server)).arg(ippPort());
        nothingAt = QStringLiteral("nothing answers at ") + where;
        return nullptr;
    }
    httpSetTimeout(http, requestTimeoutSeconds, nullptr, nullptr);
    return Http(http);
}

bool serviceFailed()
{
    const ipp_status_t status = cupsLastError();
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_INTERNAL;
}

// A sheet of the given size (hundredths of millimetres), named as the toolkit knows it when it is
// a standard one.
QPageSize sheet(int width, int length, const char *name)
{
    const QSizeF millimetres(width / 100.0, length / 100.0);
    const QPageSize::PageSizeId id =
        QPageSize::id(millimetres, QPageSize::Millimeter, QPageSize::FuzzyMatch);
    if (id != QPageSize::Custom)
        return QPageSize(id);
    return QPageSize(millimetres, QPageSize::Millimeter, QString::fromUtf8(name));
}

QPageSize paperOf(const cups_size_t &size)
{
    return sheet(size.width, size.length, size.media);
}

QPageSize paperOf(const pwg_media_t *media)
{
    return sheet(media->width, media->length, media->pwg);
}

// The name of the printer's default paper: the user's own choice for that printer (its
// "media" or "PageSize" option) first, then the printer's default. (The library's own
// "default media" answers Letter for every printer without a user's choice.)
QByteArray defaultMedia(http_t *http, cups_dest_t *dest, cups_dinfo_t *info)
{
    if (const char *media = cupsGetOption("media", dest->num_options, dest->options))
        return media;
    if (const char *pageSize = cupsGetOption("PageSize", dest->num_options, dest->options))
        if (const pwg_media_t *known = pwgMediaForPPD(pageSize))
            return known->pwg;
    ipp_attribute_t *printerDefault =
        info ? cupsFindDestDefault(http, dest, info, "media") : nullptr;
    return printerDefault ? QByteArray(ippGetString(printerDefault, 0, nullptr)) : QByteArray();
}

QByteArray printerUri(const QByteArray &name)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.constData());
    return QByteArray(uri);
}

Ipp ask(http_t *http, ipp_op_t operation, const QByteArray &name, int jobId,
        std::initializer_list<const char *> wanted)
{
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(name).constData());
    if (jobId > 0)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(wanted.size()), nullptr, wanted.begin());
    Ipp response(cupsDoRequest(http, request, "/"));
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        return nullptr;
    return response;
}

QString text(ipp_t *response, const char *attribute)
{
    ipp_attribute_t *found = ippFindAttribute(response, attribute, IPP_TAG_ZERO);
    return found ? QString::fromUtf8(ippGetString(found, 0, nullptr)) : QString();
}

// Keywords of a multi-valued attribute, "none" left out, joined for a message.
QString keywords(ipp_t *response, const char *attribute)
{
    QStringList words;
    ipp_attribute_t *found = ippFindAttribute(response, attribute, IPP_TAG_KEYWORD);
    for (int i = 0; found && i < ippGetCount(found); ++i) {
        const QString word = QString::fromUtf8(ippGetString(found, i, nullptr));
        if (word != QLatin1String("none"))
            words << word;
    }
    return words.join(QStringLiteral(", "));
}

QString withDetail(const QString &what, const QString &detail)
{
    return detail.isEmpty() ? what : what + QStringLiteral(" (") + detail + QLatin1Char(')');
}

// Why the printer cannot take a job now, or an empty text when it can.
QString printerRefusal(http_t *http, const QByteArray &name)
{
    const Ipp state = ask(http, IPP_OP_GET_PRINTER_ATTRIBUTES, name, 0,
                          {"printer-state", "printer-is-accepting-jobs", "printer-state-message",
                           "printer-state-reasons"});
    if (!state) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
            return QStringLiteral("the printer %1 is no longer installed").arg(quoted(name));
        return serviceFailed() ? serviceDown(lastError())
                               : QStringLiteral("the print service could not tell the state of "
                                                "the printer %1 (%2)")
                                     .arg(quoted(name), lastError());
    }
    QString detail = text(state.get(), "printer-state-message");
    if (detail.isEmpty())
        detail = keywords(state.get(), "printer-state-reasons");
    ipp_attribute_t *printerState = ippFindAttribute(state.get(), "printer-state", IPP_TAG_ENUM);
    if (printerState && ippGetInteger(printerState, 0) == IPP_PSTATE_STOPPED)
        return withDetail(QStringLiteral("the printer %1 is disabled").arg(quoted(name)), detail);
    ipp_attribute_t *accepting =
        ippFindAttribute(state.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (accepting && !ippGetBoolean(accepting, 0))
        return withDetail(QStringLiteral("the printer %1 is not accepting jobs").arg(quoted(name)),
                          detail);
    return QString();
}

// What became of a job that will not print, or an empty text for one on its way.
QString jobFate(int state)
{
    switch (state) {
    case IPP_JSTATE_HELD:
        return QStringLiteral("the print service held the job instead of printing it");
    case IPP_JSTATE_STOPPED:
        return QStringLiteral("the print service stopped the job");
    case IPP_JSTATE_CANCELED:
        return QStringLiteral("the print service cancelled the job");
    case IPP_JSTATE_ABORTED:
        return QStringLiteral("the print service gave up the job");
    default:
        return QString();
    }
}

} // namespace

CupsPrinter::CupsPrinter(QByteArray name, QByteArray instance, QPageSize paper, QByteArray media)
    : m_name(std::move(name)), m_instance(std::move(instance)), m_paper(std::move(paper)),
      m_media(std::move(media))
{}

DestinationLookup CupsPrinter::find()
{
    DestinationLookup lookup;
    QString nothingAt;
    const Http http = connectToService(nothingAt);
    if (!http) {
        lookup.problem = QStringLiteral("The print service is not running, so nothing can be "
                                        "printed (%1). Start it, or ask the administrator to, "
                                        "then print again.")
                             .arg(nothingAt);
        return lookup;
    }

    Dests dest(cupsGetNamedDest(http.get(), nullptr, nullptr));
    if (!dest) {
        cups_dest_t *all = nullptr;
        const int count = cupsGetDests2(http.get(), &all);
        const Dests owned(all, DestFree{count});
        if (count == 0 && serviceFailed()) {
            lookup.problem = QStringLiteral("The print service did not answer, so nothing can "
                                            "be printed (%1). Try again in a moment.")
                                 .arg(lastError());
            return lookup;
        }
        if (count == 0) {
            lookup.problem = QStringLiteral("No printer is installed. Add a printer in the "
                                            "system's printer settings, then print again.");
            return lookup;
        }
        // No default chosen: the only printer, or the first by name, as the service lists them.
        cups_dest_t *first = nullptr;
        cupsCopyDest(&all[0], 0, &first);
        dest.reset(first);
    }

    const DestInfo info(cupsCopyDestInfo(http.get(), dest.get()));
    const QByteArray media = defaultMedia(http.get(), dest.get(), info.get());
    cups_size_t size = {};
    QPageSize paper = localePaper();
    if (!media.isEmpty() && info &&
        cupsGetDestMediaByName(http.get(), dest.get(), info.get(), media.constData(),
                               CUPS_MEDIA_FLAGS_DEFAULT, &size))
        paper = paperOf(size);
    else if (const pwg_media_t *known = pwgMediaForPWG(media.constData()))
        paper = paperOf(known);
    lookup.destination.reset(
        new CupsPrinter(dest->name, dest->instance ? dest->instance : "", paper, media));
    return lookup;
}

QString CupsPrinter::name() const
{
    return QString::fromUtf8(m_name);
}

QPageLayout CupsPrinter::paper() const
{
    return QPageLayout(m_paper, QPageLayout::Portrait, QMarginsF());
}

QString CupsPrinter::handOver(const QString &pdfPath, const QString &title)
{
    QString nothingAt;
    const Http http = connectToService(nothingAt);
    if (!http)
        return serviceDown(nothingAt);
    const QString refusal = printerRefusal(http.get(), m_name);
    if (!refusal.isEmpty())
        return refusal;

    // The job asks for the sheet the page was laid out on, whatever the queue's own options say.
    cups_option_t *options = nullptr;
    int optionCount = 0;
    if (!m_media.isEmpty())
        optionCount = cupsAddOption("media", m_media.constData(), optionCount, &options);
    const int job =
        cupsPrintFile2(http.get(), m_name.constData(), QFile::encodeName(pdfPath).constData(),
                       title.toUtf8().constData(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (job <= 0)
        return serviceFailed()
                   ? serviceDown(lastError())
                   : QStringLiteral("the print service refused the job (%1)").arg(lastError());

    // Taken: the job has a number. One that the service already stopped, held, cancelled or
    // aborted will not print; a held or stopped one is cancelled so it cannot print later,
    // unexpectedly, beside a second try.
    const Ipp state =
        ask(http.get(), IPP_OP_GET_JOB_ATTRIBUTES, m_name, job, {"job-state", "job-state-reasons"});
    ipp_attribute_t *jobState =
        state ? ippFindAttribute(state.get(), "job-state", IPP_TAG_ENUM) : nullptr;
    const int stateValue = jobState ? ippGetInteger(jobState, 0) : 0;
    const QString fate = jobFate(stateValue);
    if (fate.isEmpty())
        return QString();
    QString told = withDetail(fate, keywords(state.get(), "job-state-reasons"));
    if (stateValue == IPP_JSTATE_HELD || stateValue == IPP_JSTATE_STOPPED) {
        cupsCancelJob2(http.get(), m_name.constData(), job, 0);
        told += QStringLiteral("; it was cancelled");
    }
    return told;
}

} // namespace vistrel
