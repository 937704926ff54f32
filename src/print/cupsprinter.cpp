#include "print/cupsprinter.h"

#include "print/papernames.h"

#include <QFile>

#include <cups/cups.h>

#include <memory>
#include <optional>

#include <sys/mman.h>
#include <unistd.h>

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

std::optional<NamedPaper> printerNamed(http_t *http, cups_dest_t *dest, cups_dinfo_t *info,
                                       const char *name)
{
    if (!name || !*name)
        return std::nullopt;
    if (auto paper = paperNamed(name))
        return paper;
    // A name of the printer's own: its size from the printer.
    cups_size_t size = {};
    if (info && cupsGetDestMediaByName(http, dest, info, name, CUPS_MEDIA_FLAGS_DEFAULT, &size))
        return paperOfSize(size.width, size.length, size.media);
    return std::nullopt;
}

// The printer description's default paper; nothing for a printer without a description.
QByteArray ppdDefault(http_t *http, const cups_dest_t *dest)
{
    const int fd = memfd_create("vistrel-ppd", MFD_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    const QByteArray resource = QByteArray("/printers/") + dest->name + ".ppd";
    QByteArray text;
    if (cupsGetFd(http, resource.constData(), fd) == HTTP_STATUS_OK) {
        QFile file;
        if (::lseek(fd, 0, SEEK_SET) == 0 && file.open(fd, QIODevice::ReadOnly))
            text = file.read(4 << 20);
    }
    ::close(fd);
    return defaultPageSizeOfPpd(text);
}

// The printer's default paper, in the order a user expects: their own choice for that printer
// (its "media" or "PageSize" option), the printer's default, the default of its description.
// (The library's own "default media" answers Letter for every printer without one.)
std::optional<NamedPaper> defaultPaper(http_t *http, cups_dest_t *dest, cups_dinfo_t *info)
{
    for (const char *option : {"media", "PageSize"})
        if (auto paper = printerNamed(http, dest, info,
                                      cupsGetOption(option, dest->num_options, dest->options)))
            return paper;
    ipp_attribute_t *printerDefault =
        info ? cupsFindDestDefault(http, dest, info, "media") : nullptr;
    if (printerDefault)
        if (auto paper = printerNamed(http, dest, info, ippGetString(printerDefault, 0, nullptr)))
            return paper;
    return printerNamed(http, dest, info, ppdDefault(http, dest).constData());
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
    // Without a default of the printer's, the locale's paper, asked for by name in the job so
    // that the page is not scaled onto another sheet.
    NamedPaper paper{localePaper(), QByteArray()};
    if (auto found = defaultPaper(http.get(), dest.get(), info.get()))
        paper = *found;
    else
        paper.pwg = pwgNameOf(paper.size);
    lookup.destination.reset(
        new CupsPrinter(dest->name, dest->instance ? dest->instance : "", paper.size, paper.pwg));
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

HandOverOutcome CupsPrinter::handOver(const QString &pdfPath, const QString &title)
{
    QString nothingAt;
    const Http http = connectToService(nothingAt);
    if (!http)
        return {serviceDown(nothingAt), QString()};
    const QString refusal = printerRefusal(http.get(), m_name);
    if (!refusal.isEmpty())
        return {refusal, QString()};

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
        return {serviceFailed()
                    ? serviceDown(lastError())
                    : QStringLiteral("the print service refused the job (%1)").arg(lastError()),
                QString()};

    // Taken: the job has a number. A held one waits on the printer for its release, which is
    // what a queue that holds every job is for. One that the service already stopped, cancelled
    // or aborted will not print; a stopped one is cancelled so it cannot print later,
    // unexpectedly, beside a second try.
    const Ipp state =
        ask(http.get(), IPP_OP_GET_JOB_ATTRIBUTES, m_name, job, {"job-state", "job-state-reasons"});
    ipp_attribute_t *jobState =
        state ? ippFindAttribute(state.get(), "job-state", IPP_TAG_ENUM) : nullptr;
    const int stateValue = jobState ? ippGetInteger(jobState, 0) : 0;
    const QString reasons = state ? keywords(state.get(), "job-state-reasons") : QString();
    if (stateValue == IPP_JSTATE_HELD)
        return {QString(), withDetail(QStringLiteral("The page was handed to the printer %1, "
                                                     "which holds it for release")
                                          .arg(quoted(m_name)),
                                      reasons) +
                               QStringLiteral(": it prints once it is released on the printer "
                                              "or in the print queue.")};
    const QString fate = jobFate(stateValue);
    if (fate.isEmpty())
        return {};
    QString told = withDetail(fate, reasons);
    if (stateValue == IPP_JSTATE_STOPPED) {
        cupsCancelJob2(http.get(), m_name.constData(), job, 0);
        told += QStringLiteral("; it was cancelled");
    }
    return {told, QString()};
}

} // namespace vistrel
